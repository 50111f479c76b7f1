#include "platform/media/FilterComponent.h"

#include <gtest/gtest.h>

#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"

using namespace vistrel::platform::media;

TEST(FilterComponent, PutTakeOutAndSilentWhenAlreadyOut) {
  auto fg = FilterGraph::create(), priv = FilterGraph::create();
  FilterComponent tee(QStringLiteral("infdecvideo"));
  EXPECT_EQ(tee.setGraph(fg), E_UNEXPECTED);  // nothing bound yet
  ASSERT_EQ(tee.bindClassId(CLSID_InfTee), S_OK);
  ASSERT_EQ(tee.setGraph(fg), S_OK);
  EXPECT_EQ(tee.setGraph(fg), S_OK);  // already there: nothing happens
  EXPECT_EQ(fg->filters().size(), 1u);
  FILTER_INFO info;
  tee.filter()->QueryFilterInfo(info);
  EXPECT_EQ(info.achName, QStringLiteral("infdecvideo"));
  // The filter leaves behind the component's back (RemoveChain, Clear...): taking out is silent.
  fg->Clear();
  EXPECT_FALSE(tee.inGraph());
  EXPECT_EQ(tee.setGraph(nullptr), S_OK);
  // Moved between graphs.
  ASSERT_EQ(tee.setGraph(priv), S_OK);
  ASSERT_EQ(tee.setGraph(fg), S_OK);
  EXPECT_TRUE(priv->filters().empty());
  EXPECT_EQ(tee.graph(), fg);
}

TEST(FilterComponent, RebindingTakesTheOldFilterOutAndMakesAFreshOne) {
  auto fg = FilterGraph::create();
  FilterComponent slot(QStringLiteral("test"));
  ASSERT_EQ(slot.bindClassId(CLSID_NullRenderer), S_OK);
  slot.setGraph(fg);
  auto first = slot.filter();
  ASSERT_EQ(slot.bindClassId(CLSID_NullRenderer), S_OK);
  EXPECT_NE(slot.filter(), first);
  EXPECT_FALSE(fg->contains(first));
  EXPECT_EQ(slot.graph(), nullptr);
  EXPECT_EQ(slot.bindClassId(makeGuid("{99999999-0000-0000-0000-000000000000}")), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(slot.filter(), nullptr);
  EXPECT_EQ(slot.bindFriendlyName(CLSID_LegacyAmFilterCategory, QStringLiteral("Null Renderer")), S_OK);
  ASSERT_TRUE(slot.moniker());
  GUID clsid;
  slot.filter()->GetClassID(clsid);
  EXPECT_EQ(clsid, CLSID_NullRenderer);
  EXPECT_EQ(slot.bindFriendlyName(CLSID_LegacyAmFilterCategory, QStringLiteral("null renderer")),
            VFW_E_NOT_FOUND);
  auto instance = NullRenderer::create();
  slot.bindInstance(instance);
  EXPECT_EQ(slot.filter(), instance);
}
