#include <gtest/gtest.h>

#include <QSet>

#include "platform/media/Result.h"

using namespace vistrel::platform::media;

// The component layer turns failures into exceptions whose text comes from here; its callers'
// buffers hold 255 characters.
TEST(AMGetErrorText, EveryCodeHasItsOwnTextThatFitsTheBuffer) {
  const HRESULT known[] = {S_OK,
                           S_FALSE,
                           E_NOTIMPL,
                           E_NOINTERFACE,
                           E_POINTER,
                           E_FAIL,
                           E_UNEXPECTED,
                           E_OUTOFMEMORY,
                           E_INVALIDARG,
                           REGDB_E_CLASSNOTREG,
                           VFW_S_NO_MORE_ITEMS,
                           VFW_S_DUPLICATE_NAME,
                           VFW_S_STATE_INTERMEDIATE,
                           VFW_S_NO_STOP_TIME,
                           VFW_E_INVALIDMEDIATYPE,
                           VFW_E_NEED_OWNER,
                           VFW_E_NO_ACCEPTABLE_TYPES,
                           VFW_E_INVALID_DIRECTION,
                           VFW_E_NOT_CONNECTED,
                           VFW_E_NO_ALLOCATOR,
                           VFW_E_NOT_COMMITTED,
                           VFW_E_SIZENOTSET,
                           VFW_E_NO_CLOCK,
                           VFW_E_ALREADY_CONNECTED,
                           VFW_E_BUFFER_OVERFLOW,
                           VFW_E_WRONG_STATE,
                           VFW_E_TYPE_NOT_ACCEPTED,
                           VFW_E_SAMPLE_TIME_NOT_SET,
                           VFW_E_NOT_IN_GRAPH,
                           VFW_E_NOT_FOUND,
                           VFW_E_CANNOT_CONNECT,
                           VFW_E_NOT_STOPPED,
                           VFW_E_TIMEOUT,
                           VFW_E_DUPLICATE_NAME,
                           VFW_E_DEVICE_LOST};
  QSet<QString> texts;
  for (HRESULT hr : known) {
    const QString text = AMGetErrorText(hr);
    SCOPED_TRACE(QString::number(uint32_t(hr), 16).toStdString());
    EXPECT_FALSE(text.isEmpty());
    EXPECT_LE(text.size(), 255);
    EXPECT_FALSE(text.startsWith(QStringLiteral("Unknown")));
    EXPECT_FALSE(texts.contains(text));
    texts.insert(text);
  }
  // An unknown code still says something, with the code to look up.
  const QString unknown = AMGetErrorText(static_cast<HRESULT>(0x8004FFFF));
  EXPECT_TRUE(unknown.contains(QStringLiteral("8004ffff"), Qt::CaseInsensitive)) << unknown.toStdString();
  EXPECT_LE(unknown.size(), 255);
}

TEST(AMGetErrorText, TheTextIsCutToTheBuffer) {
  const QString whole = AMGetErrorText(VFW_E_CANNOT_CONNECT);
  ASSERT_GT(whole.size(), 10);
  EXPECT_EQ(AMGetErrorText(VFW_E_CANNOT_CONNECT, 10), whole.left(10));
  EXPECT_EQ(AMGetErrorText(VFW_E_CANNOT_CONNECT, 1000), whole);
  EXPECT_TRUE(AMGetErrorText(VFW_E_CANNOT_CONNECT, 0).isEmpty());
  EXPECT_TRUE(AMGetErrorText(VFW_E_CANNOT_CONNECT, -1).isEmpty());  // no room, not unlimited room
}
