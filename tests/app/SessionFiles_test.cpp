#include "app/SessionFiles.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "support/TempRoot.h"

namespace vistrel::app {
namespace {

TEST(SessionFiles, ItemsReadTheFileAndAppendInOrder) {
  testing::TempRoot root;
  root.write("v/a.avi", QByteArray(1234, 'x'));
  TSessionFiles files;
  QSignalSpy inserted(&files, &QAbstractItemModel::rowsInserted);

  TDataFichier a = TDataFichier::ForFile(root.file("v/a.avi"));
  EXPECT_EQ(a.Size, 1234);
  EXPECT_TRUE(a.LastWrite.isValid());
  EXPECT_EQ(a.DroppedFrames, -1);
  EXPECT_EQ(a.CapturedFrames, -1);
  a.CaptureFormat = "avi natif";
  files.Add(a);

  const TDataFichier missing = TDataFichier::ForFile(root.file("v/none.avi"));
  EXPECT_EQ(missing.Size, 0);
  EXPECT_FALSE(missing.LastWrite.isValid());
  files.Add(missing);

  ASSERT_EQ(files.Count(), 2);
  EXPECT_EQ(inserted.count(), 2);
  EXPECT_EQ(files.rowCount(), 2);
  EXPECT_EQ(files.data(files.index(0)).toString(), "a.avi");
  EXPECT_EQ(files.data(files.index(1), Qt::ToolTipRole).toString(), root.file("v/none.avi"));
  EXPECT_EQ(files.Item(0).CaptureFormat, "avi natif");
  EXPECT_FALSE(files.data(files.index(5)).isValid());
}

}  // namespace
}  // namespace vistrel::app
