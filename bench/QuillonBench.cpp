// quillon-bench: drives the real main window offscreen, through its own
// handlers, on real files, and times each phase against a plain C++ baseline
// doing the same work in the same run.
//
//   quillon-bench [--n N[,N...]] [--runs R] [--fs disk|tmpfs] [--check]
//
// --check runs one small round and verifies every phase's result (the files on
// disk renamed, the undo file with one line per rename); it fails on any
// wrong result. Without it the bench only fails on errors.

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/Main.h"
#include "browser/FileView.h"
#include "rename/Journal.h"
#include "rename/PreviewPane.h"
#include "rename/RenameEngine.h"
#include "rename/RenamePlan.h"
#include "renamelist/RenameList.h"
#include "widgets/Dialogs.h"
#include "widgets/WidgetBridge.h"
#include "rename/StringH.h"

namespace stdfs = std::filesystem;

namespace {

struct Options {
  std::vector<int> sizes = {10000, 100000};
  int runs = 3;
  bool check = false;
  std::string onlyFs;  // "disk" or "tmpfs"; empty: both
};

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "quillon-bench: " << what << "\n";
  std::exit(1);
}

// A widget or menu item of the window by its name.
template <typename T>
T* Find(const QObject& window, const QString& name) {
  T* found = window.findChild<T*>(name);
  if (!found) Fail("no object named " + name.toStdString());
  return found;
}
template <typename T>
T* Find(const QObject& window, const char* name) {
  return Find<T>(window, QString::fromLatin1(name));
}

double Seconds(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return double(timer.nsecsElapsed()) / 1e9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string FileName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "file_%06d.txt", i);
  return name;
}

void MakeFiles(const std::string& folder, int count, int firstIndex = 0) {
  stdfs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "/" + FileName(firstIndex + i);
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) Fail("cannot create " + path + ": " + std::strerror(errno));
    ::close(fd);
  }
}

void RemoveTree(const std::string& folder) {
  std::error_code ec;
  stdfs::remove_all(folder, ec);
}

int CountFilesStartingWith(const std::string& folder, const std::string& prefix) {
  int count = 0;
  for (const auto& entry : stdfs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) ++count;
  return count;
}

// ---- Baselines: the same work done by plain C++ --------------------------

double BaselineList(const std::string& folder) {
  return Seconds([&] {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) Fail("cannot read " + folder);
    while (dirent* entry = ::readdir(dir)) {
      struct stat st;
      const std::string path = folder + "/" + entry->d_name;
      if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
      if (::fnmatch("*", entry->d_name, 0) == 0) names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
  });
}

struct PairHash {
  std::size_t operator()(const std::pair<std::string, std::string>& p) const {
    return std::hash<std::string>()(p.first) * 31 + std::hash<std::string>()(p.second);
  }
};

double BaselineAddAll(const std::vector<std::string>& names, const std::string& folder) {
  return Seconds([&] {
    std::vector<std::pair<std::string, std::string>> entries;
    std::unordered_set<std::pair<std::string, std::string>, PairHash> index;
    for (const std::string& name : names) {
      auto pair = std::make_pair(name, folder);
      if (index.insert(pair).second) entries.push_back(std::move(pair));
    }
  });
}

void Walk(const std::string& folder, int& files) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> subfolders;
  while (dirent* entry = ::readdir(dir)) {
    if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
    struct stat st;
    const std::string path = folder + "/" + entry->d_name;
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) subfolders.push_back(path);
    else ++files;
  }
  ::closedir(dir);
  for (const std::string& sub : subfolders) Walk(sub, files);
}

double BaselineRecursive(const std::string& root) {
  int files = 0;
  return Seconds([&] { Walk(root, files); });
}

double BaselineReplace(const std::vector<std::string>& names) {
  std::size_t total = 0;
  const double seconds = Seconds([&] {
    for (const std::string& name : names) total += StringH::ReplaceText(StringH::StripExtension(name), "file", "item", false).size();
  });
  if (total == 0) Fail("replace baseline produced nothing");
  return seconds;
}

// Counting the (folder, name) pairs, then one pass over the folder's listing
// looking each listed name up among them (the preview's check of new names
// taken on disk).
double BaselineValidate(const std::vector<std::string>& names, const std::string& folder) {
  std::size_t listed = 0;
  const double seconds = Seconds([&] {
    std::unordered_map<std::string, int> counts;
    counts.reserve(names.size());
    for (const std::string& name : names) ++counts[folder + '\0' + name];
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) Fail("validate baseline: cannot list " + folder);
    std::string key = folder + '\0';
    while (const dirent* d = ::readdir(dir)) {
      key.resize(folder.size() + 1);
      key += d->d_name;
      listed += counts.count(key);
    }
    ::closedir(dir);
  });
  if (listed != names.size()) Fail("validate baseline: the listing does not hold every name");
  return seconds;
}

// The core's renames of file_<i> to item_<i>, with a journal in
// `stateFolder` or (empty) without one; the files are then given their names
// back.
double CoreRename(const std::string& folder, const std::vector<std::string>& names, const std::string& stateFolder) {
  std::vector<PreviewEntry> entries;
  entries.reserve(names.size());
  for (const std::string& name : names) entries.push_back({"item" + name.substr(4), name, folder});
  Journal::Writer journal;
  std::string reason;
  if (!stateFolder.empty() && !journal.Open(stateFolder, reason)) Fail("journal: " + reason);
  RenameEngine::RenameRun run;
  const double seconds = Seconds([&] {
    run = RenameEngine::PerformRenames(entries, journal);  // without a state folder it stays closed
  });
  if (run.successes != names.size()) Fail("journal: the core renamed " + std::to_string(run.successes));
  if (stateFolder.empty()) {
    for (PreviewEntry& entry : entries) std::swap(entry.newName, entry.oldName);
    RenameEngine::PerformRenames(entries);
  } else if (Journal::UndoRun(*Journal::NewestUndoableRun(stateFolder)).undone != names.size()) {
    Fail("journal: the run was not undone");
  }
  return seconds;
}

// The order the core gives the renames of file_<i> to item_<i>, alone.
double PlanTime(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<PreviewEntry> entries;
  entries.reserve(names.size());
  for (const std::string& name : names) entries.push_back({"item" + name.substr(4), name, folder});
  std::size_t steps = 0;
  const double seconds = Seconds([&] { steps = RenamePlan::PlanRenames(entries, 1).steps.size(); });
  if (steps != names.size()) Fail("plan: " + std::to_string(steps) + " steps");
  return seconds;
}

// Every name moves one place (file_<i> to the next one's name): a single
// cycle through one temporary name, with the journal; undone afterwards.
double CoreRotation(const std::string& folder, const std::vector<std::string>& names, const std::string& stateFolder) {
  std::vector<PreviewEntry> entries;
  entries.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) entries.push_back({names[(i + 1) % names.size()], names[i], folder});
  Journal::Writer journal;
  std::string reason;
  if (!journal.Open(stateFolder, reason)) Fail("rotation: " + reason);
  RenameEngine::RenameRun run;
  const double seconds = Seconds([&] { run = RenameEngine::PerformRenames(entries, journal); });
  if (run.successes != names.size() || run.failures != 0)
    Fail("rotation: the core renamed " + std::to_string(run.successes));
  if (Journal::UndoRun(*Journal::NewestUndoableRun(stateFolder)).errors != 0) Fail("rotation: the undo failed");
  return seconds;
}

// file_<i> to item_<i>, or with `back` item_<i> to file_<i> again, last to
// first as undo goes.
double BaselineRename(const std::string& folder, const std::vector<std::string>& names, bool back = false) {
  return Seconds([&] {
    const int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    const auto rename = [dirfd, back](const std::string& name) {
      std::string from = name;
      std::string to = "item" + name.substr(4);
      if (back) std::swap(from, to);
      if (::syscall(SYS_renameat2, dirfd, from.c_str(), dirfd, to.c_str(), 1 /* RENAME_NOREPLACE */) != 0)
        Fail("baseline rename failed: " + from);
    };
    if (back) {
      std::for_each(names.rbegin(), names.rend(), rename);
    } else {
      std::for_each(names.begin(), names.end(), rename);
    }
    ::close(dirfd);
  });
}

bool Installed(const char* tool) {
  const std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// The perl rename of Debian's "rename" package (file-rename), not util-linux's.
bool PerlRenameInstalled() {
  return std::system("rename --version 2>/dev/null | grep -qi perl") == 0 ||
         std::system("command -v file-rename >/dev/null 2>&1") == 0;
}

double ToolRename(const std::string& folder, const std::string& command) {
  return Seconds([&] {
    const std::string full = "cd '" + folder + "' && " + command;
    if (std::system(full.c_str()) != 0) Fail("tool failed: " + command);
  });
}

// ---- The window ------------------------------------------------------------

class Bench {
 public:
  Bench(const Options& options, std::string programFolder, std::string home, std::string stateFolder)
      : options_(options), stateFolder_(stateFolder) {
    SetDialogHandler([this](const DialogRequest& request) {
      dialogs_.push_back(request.title.toStdString() + ": " + request.text.toStdString());
      return DialogAnswer::Ok;
    });
    AppEnvironment environment;
    environment.programFolder = programFolder + "/";
    environment.home = home;
    environment.stateFolder = stateFolder;
    programFolder_ = programFolder;
    window_ = std::make_unique<TfrmMain>(environment);
  }

  TfrmMain& w() { return *window_; }

  void WaitForReady(const char* phase) {
    QElapsedTimer timer;
    timer.start();
    // Waits in the event loop as the program itself does: a loop that spun
    // here would take a core from a run working in the background.
    while (!w().StatusText().startsWith(QLatin1String("Ready"))) {
      QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
      if (timer.elapsed() > 600000) Fail(std::string(phase) + ": no \"Ready\" within ten minutes");
    }
  }

  void ExpectNoDialogs(const char* phase) {
    if (!dialogs_.empty()) Fail(std::string(phase) + ": unexpected message box: " + dialogs_.front());
  }

  void StartPreview() {
    TfrmMain& w = this->w();
    Find<QAction>(w, "mnuRename_0")->trigger();
    Find<QLineEdit>(w, "txtReplaceFrom")->setText(QStringLiteral("file"));
    Find<QLineEdit>(w, "txtReplaceTo")->setText(QStringLiteral("item"));
    Find<QPushButton>(w, "cmdRename_0")->click();
    // The button puts up the busy text and arms the preview timer.
    WaitForReady("preview");
  }

  const Options& options_;
  std::string stateFolder_;
  std::string programFolder_;
  std::vector<std::string> dialogs_;
  std::unique_ptr<TfrmMain> window_;
};

struct Row {
  std::string phase;
  int n;
  std::string fs;
  double seconds;
  double baseline;  // < 0: none
  std::string note;
};

std::vector<Row> g_rows;

void Report(const Row& row) {
  g_rows.push_back(row);
  char line[256];
  if (row.baseline > 0)
    std::snprintf(line, sizeof line, "%-10s %7d  %-5s %9.3f s  baseline %8.3f s  ratio %6.2f  %s", row.phase.c_str(),
                  row.n, row.fs.c_str(), row.seconds, row.baseline, row.seconds / row.baseline, row.note.c_str());
  else
    std::snprintf(line, sizeof line, "%-10s %7d  %-5s %9.3f %s", row.phase.c_str(), row.n, row.fs.c_str(),
                  row.seconds, row.note.c_str());
  std::cerr << line << "\n";
}

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

std::vector<std::string> SortedNames(int n) {
  std::vector<std::string> names;
  names.reserve(n);
  for (int i = 0; i < n; ++i) names.push_back(FileName(i));
  return names;
}

void RunRound(Bench& bench, const std::string& base, const std::string& fs, int n) {
  TfrmMain& w = bench.w();
  const std::string folder = base + "/flat";
  const std::vector<std::string> names = SortedNames(n);
  std::vector<double> times, baselines;

  // list
  RemoveTree(folder);
  MakeFiles(folder, n);
  Find<QLineEdit>(w, "txtPattern")->setText(QStringLiteral("*"));
  for (int r = 0; r < bench.options_.runs; ++r) {
    times.push_back(Seconds([&] { w.fileView().ListFiles(folder); }));
    baselines.push_back(BaselineList(folder));
  }
  if (w.fileView().FileViewRowCount() != n) Fail("list: " + std::to_string(w.fileView().FileViewRowCount()) + " rows, expected " + std::to_string(n));
  Report({"list", n, fs, Median(times), Median(baselines), ""});

  // add all
  times.clear(), baselines.clear();
  for (int r = 0; r < bench.options_.runs; ++r) {
    w.renameList().mnuClearClick();
    times.push_back(Seconds([&] { Invoke(Find<QAction>(w, "mnuAllFiles")); }));
    baselines.push_back(BaselineAddAll(names, folder));
  }
  if (int(w.renameList().RenameListEntries().size()) != n) Fail("add all: wrong number of entries");
  Report({"add all", n, fs, Median(times), Median(baselines), ""});

  // recursive: a tree of n/1000 folders of 1000 files
  const std::string tree = base + "/tree";
  RemoveTree(tree);
  const int folders = std::max(1, n / 1000);
  for (int f = 0; f < folders; ++f) MakeFiles(tree + "/folder" + std::to_string(f), n / folders, f * (n / folders));
  times.clear(), baselines.clear();
  for (int r = 0; r < bench.options_.runs; ++r) {
    w.renameList().mnuClearClick();
    w.fileView().ListFiles(tree);
    times.push_back(Seconds([&] {
      Invoke(Find<QAction>(w, "mnuAllFilesRecursive"));
      bench.WaitForReady("recursive");
    }));
    baselines.push_back(BaselineRecursive(tree));
  }
  if (int(w.renameList().RenameListEntries().size()) != folders * (n / folders)) Fail("recursive: wrong number of entries");
  Report({"recursive", n, fs, Median(times), Median(baselines), ""});
  w.renameList().mnuClearClick();
  RemoveTree(tree);

  // preview, validate and rename, each run on a fresh folder
  std::vector<double> previewTimes, handlerTimes, previewBase, validateTimes, validateBase, renameTimes, renameBase;
  std::vector<double> undoTimes, undoBase, journalTimes, plainTimes, planTimes, rotationTimes;
  long peakKiB = 0;
  for (int r = 0; r < bench.options_.runs; ++r) {
    RemoveTree(folder);
    MakeFiles(folder, n);
    w.fileView().ListFiles(folder);
    w.renameList().mnuClearClick();
    Invoke(Find<QAction>(w, "mnuAllFiles"));
    previewTimes.push_back(Seconds([&] { bench.StartPreview(); }));
    previewBase.push_back(BaselineReplace(names));
    // The same build once more, timing the preview timer's handler alone,
    // without the designed 50 ms pause before it runs.
    w.previewPane().cmdNoClick();
    Find<QPushButton>(w, "cmdRename_0")->click();
    handlerTimes.push_back(Seconds([&] { w.previewPane().tmrMakeListsTimer(); }));
    if (int(w.renameList().RenameListEntries().size()) != n) Fail("preview: the rename list lost entries");
    if (!Find<QPushButton>(w, "cmdYes")->isEnabled()) Fail("preview: Yes is not enabled");
    validateTimes.push_back(Seconds([&] { w.previewPane().CheckFileNames(false); }));
    validateBase.push_back(BaselineValidate(names, folder));
    peakKiB = std::max(peakKiB, PeakResidentKiB());

    const std::string undo = bench.programFolder_ + "/UNDO";
    std::remove(undo.c_str());
    renameTimes.push_back(Seconds([&] {
      Find<QPushButton>(w, "cmdYes")->click();
      bench.WaitForReady("rename");
    }));
    bench.ExpectNoDialogs("rename");
    const QString expected = QStringLiteral("Ready, renamed %1 file(s)/folder(s), 0 error(s).").arg(n);
    if (w.StatusText() != expected) Fail("rename: status \"" + w.StatusText().toStdString() + "\"");
    if (CountFilesStartingWith(folder, "item_") != n) Fail("rename: files on disk not renamed");
    std::ifstream undoFile(undo);
    const int undoLines = int(std::count(std::istreambuf_iterator<char>(undoFile), std::istreambuf_iterator<char>(), '\n'));
    if (undoLines != n) Fail("rename: undo file has " + std::to_string(undoLines) + " lines");

    // Like Yes, Undo paints its busy text first and does the work from a timer.
    undoTimes.push_back(Seconds([&] {
      Invoke(Find<QAction>(w, "mnuUndoLastRename"));
      bench.WaitForReady("undo");
    }));
    bench.ExpectNoDialogs("undo");
    if (w.StatusText() != QStringLiteral("Ready, undone %1 file(s)/folder(s), 0 error(s).").arg(n))
      Fail("undo: status \"" + w.StatusText().toStdString() + "\"");
    if (CountFilesStartingWith(folder, "file_") != n) Fail("undo: files on disk not renamed back");
    // Each run changes the folder's state for the next: the order alternates.
    if (r % 2 == 0) journalTimes.push_back(CoreRename(folder, names, bench.stateFolder_));
    plainTimes.push_back(CoreRename(folder, names, {}));
    if (r % 2 == 1) journalTimes.push_back(CoreRename(folder, names, bench.stateFolder_));
    planTimes.push_back(PlanTime(folder, names));
    rotationTimes.push_back(CoreRotation(folder, names, bench.stateFolder_));

    RemoveTree(folder);
    MakeFiles(folder, n);
    renameBase.push_back(BaselineRename(folder, names));
    // Undo works on a folder whose names have just been changed; its baseline
    // renames them back in the same state.
    undoBase.push_back(BaselineRename(folder, names, true));
  }
  Report({"preview", n, fs, Median(previewTimes), Median(previewBase), "Replace file -> item, button to Ready."});
  Report({"preview*", n, fs, Median(handlerTimes), Median(previewBase), "the preview timer's handler alone"});
  Report({"validate", n, fs, Median(validateTimes), Median(validateBase), ""});
  Report({"rename", n, fs, Median(renameTimes), Median(renameBase), "Yes to counts text, journal and undo file written"});
  Report({"undo", n, fs, Median(undoTimes), Median(undoBase), "Undo last rename to counts text, against renaming back"});
  Report({"journal", n, fs, Median(journalTimes), Median(plainTimes), "the core's renames with the journal, against without"});
  Report({"plan", n, fs, Median(planTimes), Median(renameBase), "ordering the renames alone, against renaming"});
  Report({"rotation", n, fs, Median(rotationTimes), Median(renameBase), "one cycle of n names with the journal, against plain renames"});
  Report({"memory", n, fs, double(peakKiB) / 1024.0, -1, "MiB peak resident"});

  // Other tools doing the same renames
  if (Installed("mmv")) {
    std::vector<double> t;
    for (int r = 0; r < bench.options_.runs; ++r) {
      RemoveTree(folder);
      MakeFiles(folder, n);
      t.push_back(ToolRename(folder, "mmv 'file_*' 'item_#1'"));
      if (CountFilesStartingWith(folder, "item_") != n) Fail("mmv did not rename every file");
    }
    Report({"mmv", n, fs, Median(t), Median(renameBase), "same renames"});
  } else {
    Report({"mmv", n, fs, 0, -1, "not installed"});
  }
  if (PerlRenameInstalled()) {
    std::vector<double> t;
    for (int r = 0; r < bench.options_.runs; ++r) {
      RemoveTree(folder);
      MakeFiles(folder, n);
      t.push_back(ToolRename(folder, "find . -maxdepth 1 -name 'file_*' -printf '%f\\0' | rename -0 's/^file/item/'"));
      if (CountFilesStartingWith(folder, "item_") != n) Fail("perl rename did not rename every file");
    }
    Report({"rename(1)", n, fs, Median(t), Median(renameBase), "perl rename, same renames"});
  } else {
    Report({"rename(1)", n, fs, 0, -1, "not installed"});
  }
  RemoveTree(folder);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--check") {
      options.check = true;
      options.sizes = {1000};
      options.runs = 1;
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--fs" && i + 1 < argc) {
      options.onlyFs = argv[++i];
      if (options.onlyFs != "disk" && options.onlyFs != "tmpfs") Fail("--fs takes disk or tmpfs");
    } else if (arg == "--n" && i + 1 < argc) {
      options.sizes.clear();
      std::stringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) options.sizes.push_back(std::atoi(item.c_str()));
    } else {
      Fail("unknown argument " + arg);
    }
  }
  return options;
}

std::string MakeTempFolder(const std::string& parent) {
  std::string path = parent + "/quillon-bench-XXXXXX";
  if (!::mkdtemp(path.data())) Fail("cannot create a folder in " + parent);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon!"));
  const Options options = ParseOptions(argc, argv);

  std::vector<std::pair<std::string, std::string>> fileSystems = {{"disk", "/var/tmp"}};
  if (!options.check && stdfs::is_directory("/dev/shm")) fileSystems.push_back({"tmpfs", "/dev/shm"});
  std::erase_if(fileSystems, [&](const auto& fs) { return !options.onlyFs.empty() && fs.first != options.onlyFs; });

  const std::string scratch = MakeTempFolder("/var/tmp");
  const std::string programFolder = scratch + "/program";
  const std::string home = scratch + "/home";
  const std::string stateFolder = home + "/.local/state/quillon";
  stdfs::create_directories(programFolder);
  stdfs::create_directories(home);
  {
    Bench bench(options, programFolder, home, stateFolder);
    std::cerr << "phase            N  fs       seconds (median of " << options.runs << ")\n";
    for (const auto& [fs, parent] : fileSystems) {
      const std::string base = MakeTempFolder(parent);
      for (int n : options.sizes) RunRound(bench, base, fs, n);
      RemoveTree(base);
    }
  }
  RemoveTree(scratch);

  // The table, once more, as plain text on standard output.
  std::cout << "| phase | N | file system | seconds | baseline | ratio |\n|---|---|---|---|---|---|\n";
  for (const Row& row : g_rows) {
    char line[256];
    if (row.baseline > 0)
      std::snprintf(line, sizeof line, "| %s | %d | %s | %.3f | %.3f | %.2f |", row.phase.c_str(), row.n, row.fs.c_str(),
                    row.seconds, row.baseline, row.seconds / row.baseline);
    else if (row.phase == "memory")
      std::snprintf(line, sizeof line, "| %s | %d | %s | %.0f MiB | | |", row.phase.c_str(), row.n, row.fs.c_str(), row.seconds);
    else
      std::snprintf(line, sizeof line, "| %s | %d | %s | %s | | |", row.phase.c_str(), row.n, row.fs.c_str(), row.note.c_str());
    std::cout << line << "\n";
  }
  if (options.check) std::cout << "bench check: every phase gave the right result\n";
  return 0;
}
