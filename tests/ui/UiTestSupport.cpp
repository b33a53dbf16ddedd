#include "ui/UiTestSupport.h"

#include "browser/FileView.h"
#include "browser/FileViewModel.h"
#include "rename/PreviewListModel.h"
#include "renamelist/RenameListModel.h"
#include "widgets/WidgetBridge.h"

#include <QApplication>
#include <QDropEvent>
#include <QTreeView>

#include <fstream>
#include <sstream>

bool DropOn(QWidget* viewport, const QMimeData& mime) {
  const QPoint at(5, 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  return drop.isAccepted();
}

DialogRecorder::DialogRecorder() {
  SetDialogHandler([this](const DialogRequest& request) {
    boxes_.push_back(request);
    if (!answers_.empty()) {
      const DialogAnswer answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    return request.buttons == DialogButtons::YesNo ? DialogAnswer::No : DialogAnswer::Ok;
  });
}

DialogRecorder::~DialogRecorder() { SetDialogHandler({}); }

TestWindow::TestWindow() = default;

TestWindow::~TestWindow() { window_.reset(); }

FileViewModel* FileModel(const TfrmMain& w) {
  return qobject_cast<FileViewModel*>(Find<QTreeView>(w, "lstvwLocal")->model());
}

RenameListModel* RenameModel(const TfrmMain& w) {
  return qobject_cast<RenameListModel*>(Find<QTreeView>(w, "lviFiles")->model());
}

PreviewListModel* PreviewModel(const TfrmMain& w) {
  return qobject_cast<PreviewListModel*>(Find<QTreeView>(w, "lviRename")->model());
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  return QTest::qWaitFor(condition, timeoutMs);
}

TfrmMain& TestWindow::Open() { return OpenWithProgramFolder(programFolder.path() + "/"); }

TfrmMain& TestWindow::OpenWithProgramFolder(const std::string& folder) {
  AppEnvironment environment;
  environment.programFolder = folder;
  environment.home = home.path();
  environment.stateFolder = StatePath();
  window_ = std::make_unique<TfrmMain>(environment);
  return *window_;
}

void TestWindow::Close() {
  if (window_) window_->close();
}

void TestWindow::WriteSettings(const std::string& text) const {
  std::ofstream(SettingsPath(), std::ios::binary) << text;
}

std::string TestWindow::ReadSettings() const {
  std::ifstream in(SettingsPath(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> FileViewNames(TfrmMain& w) {
  std::vector<std::string> names;
  for (int row = 0; row < w.fileView().FileViewRowCount(); ++row) names.push_back(w.fileView().FileViewName(row));
  return names;
}
