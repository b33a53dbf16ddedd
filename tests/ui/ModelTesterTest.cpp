#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QLoggingCategory>
#include <gtest/gtest.h>

#include <vector>

#include "ui/RenameFlowSupport.h"
#include "browser/FileView.h"
#include "browser/FileViewModel.h"
#include "rename/PreviewListModel.h"
#include "rename/PreviewPane.h"
#include "renamelist/RenameList.h"
#include "renamelist/RenameListModel.h"

using namespace renameflow;

namespace {

// Collects what Qt's model tester reports: every complaint is one message of
// the "qt.modeltest" category.
std::vector<std::string>* complaints = nullptr;

void RecordComplaint(QtMsgType, const QMessageLogContext& context, const QString& message) {
  if (complaints && context.category && QByteArray(context.category) == "qt.modeltest")
    complaints->push_back(message.toStdString());
}

}  // namespace

// Qt's model tester watches the three list models through the designed uses:
// listing and renaming in place, adding and removing entries, building,
// editing and clearing a preview. It checks every signal against the rows.
TEST(ListModels, TheThreeModelsKeepQtsModelContract) {
  TestWindow t;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) t.files.WriteFile(name);
  TfrmMain& w = t.Open();
  std::vector<std::string> found;
  complaints = &found;
  const QtMessageHandler previous = qInstallMessageHandler(RecordComplaint);
  {
    QAbstractItemModelTester files(FileModel(w), QAbstractItemModelTester::FailureReportingMode::Warning);
    QAbstractItemModelTester entries(RenameModel(w), QAbstractItemModelTester::FailureReportingMode::Warning);
    QAbstractItemModelTester preview(PreviewModel(w), QAbstractItemModelTester::FailureReportingMode::Warning);

    w.fileView().ListFiles(t.files.path() + "/");
    EXPECT_TRUE(w.fileView().lstvwLocalEdited(0, "a2.txt"));
    w.renameList().mnuAllFilesClick();
    w.renameList().mnuAllFilesClick();  // nothing new
    RenameModel(w)->removeRow(1);
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("txt"));
    ASSERT_TRUE(PressOperation(w, 0));
    EXPECT_EQ(Preview(w).size(), 2u);
    PreviewModel(w)->setData(PreviewModel(w)->index(0, 0), QStringLiteral("new.txt"));
    PreviewModel(w)->removeRow(0);
    w.previewPane().cmdNoClick();
    w.renameList().mnuClearClick();
    EXPECT_EQ(RenameModel(w)->rowCount(), 0);
  }
  qInstallMessageHandler(previous);
  complaints = nullptr;
  EXPECT_TRUE(found.empty()) << found.front();
}
