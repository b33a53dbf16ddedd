#pragma once

// Helpers shared by the operation-page and confirmation tests: drive one
// preview and one execution through the real window's buttons.

#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "rename/PreviewListModel.h"
#include "ui/UiTestSupport.h"

namespace renameflow {

inline bool StatusIsReady(TfrmMain& w) { return w.StatusText().startsWith(QLatin1String("Ready")); }

// Presses the operation's button and waits until the preview has been built.
// False when the press started nothing (an empty required box).
inline bool PressOperation(TfrmMain& w, int operation) {
  QTest::mouseClick(Find<QPushButton>(w, QStringLiteral("cmdRename_%1").arg(operation)), Qt::LeftButton);
  if (!Find<QTimer>(w, "tmrMakeLists")->isActive()) return false;
  return QTest::qWaitFor([&] { return !Find<QTimer>(w, "tmrMakeLists")->isActive() && StatusIsReady(w); }, 10000);
}

// Presses Yes and waits for the counts text.
inline bool PressYes(TfrmMain& w) {
  QTest::mouseClick(Find<QPushButton>(w, "cmdYes"), Qt::LeftButton);
  return QTest::qWaitFor(
      [&] { return !Find<QTimer>(w, "tmrDoRename")->isActive() && w.StatusText().startsWith(QLatin1String("Ready, renamed ")); },
      10000);
}

inline const std::vector<PreviewEntry>& Preview(TfrmMain& w) { return PreviewModel(w)->entries(); }

inline std::vector<std::string> NewNames(TfrmMain& w) {
  std::vector<std::string> names;
  for (const PreviewEntry& entry : Preview(w)) names.push_back(entry.newName);
  return names;
}

// Every name in the folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline QString Counts(int successes, int failures) {
  return QStringLiteral("Ready, renamed %1 file(s)/folder(s), %2 error(s).").arg(successes).arg(failures);
}

inline bool InPreviewLayout(TfrmMain& w) { return !Find<QTreeView>(w, "lviRename")->isHidden() && Find<QTreeView>(w, "lviFiles")->isHidden(); }
inline bool InBrowsingLayout(TfrmMain& w) { return Find<QTreeView>(w, "lviRename")->isHidden() && !Find<QTreeView>(w, "lviFiles")->isHidden(); }

}  // namespace renameflow
