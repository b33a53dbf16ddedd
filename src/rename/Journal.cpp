#include "rename/Journal.h"
#include "rename/RenamePlan.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "rename/StringH.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace Journal {

namespace {

// A key for a name in its folder under which every spelling a case-ignoring
// volume may take falls together: FNV-1a over the folder and the name's
// case-blind bytes. It is the same in every process and build, so a journal's
// writer and its later reader agree on which entries share names; two names
// whose keys collide merely count as shared, which is always safe.
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t FolderHash(std::string_view folder) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : folder) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash * kFnvPrime;  // a zero byte: no name can run into the folder
}

std::uint64_t FoldedKey(std::uint64_t folderHash, std::string_view name) {
  std::uint64_t hash = folderHash;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(StringH::CaseBlindByte(c))) * kFnvPrime;
  return hash;
}

template <typename AnEntry>
std::vector<bool> SharedNames(const std::vector<AnEntry>& batch, std::size_t first, std::size_t count) {
  struct Key {
    std::uint64_t key;
    std::size_t entry;  // counted from `first`
  };
  std::vector<Key> keys;
  keys.reserve(2 * count);
  std::string_view lastFolder;
  std::uint64_t folderHash = FolderHash(lastFolder);
  for (std::size_t i = first; i < first + count; ++i) {
    const std::string_view folder = batch[i].folder;
    if (i == first || folder != lastFolder) folderHash = FolderHash(lastFolder = folder);
    keys.push_back({FoldedKey(folderHash, batch[i].oldName), i - first});
    keys.push_back({FoldedKey(folderHash, batch[i].newName), i - first});
  }
  // Sorted, equal keys stand together: every entry in a run of two or more
  // shares a name (with itself too, when its change is one of letter case).
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.key < b.key; });
  std::vector<bool> shared(count);
  for (std::size_t run = 0, end = 0; run < keys.size(); run = end) {
    for (end = run + 1; end < keys.size() && keys[end].key == keys[run].key; ++end) {
    }
    if (end - run > 1)
      for (std::size_t k = run; k < end; ++k) shared[keys[k].entry] = true;
  }
  return shared;
}

}  // namespace

std::vector<bool> SharedNames(const std::vector<EntryView>& batch) { return SharedNames(batch, 0, batch.size()); }

std::string StateFolder(const StateEnvironment& environment, Build build) {
  if (build == Build::Windows) {
    if (environment.localAppData.empty()) return {};
    return Paths::Join(environment.localAppData, "Quillon", Build::Windows);
  }
  if (!environment.xdgStateHome.empty() && environment.xdgStateHome.front() == '/')
    return Paths::Join(environment.xdgStateHome, "quillon", Build::Linux);
  const std::string home = environment.home.empty() ? std::string("/") : environment.home;
  return Paths::Join(home, ".local/state/quillon", Build::Linux);
}

std::string StateFolderOfThisUser() {
  const auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return text ? std::string(text) : std::string();
  };
  return StateFolder({value("XDG_STATE_HOME"), value("HOME"), value("LOCALAPPDATA")});
}

namespace {

// A run as its journal tells it.
struct Run {
  std::string path;  // the journal file
  std::vector<Entry> entries;
  std::vector<EntryState> states;  // one per entry
  // Entry number -> the temporary name it was (about to be) moved to; few.
  std::unordered_map<std::size_t, std::string> temporaries;
  // Entries whose names fail the checks a rename's names get (read with
  // names only): never acted on, an error in an undo.
  std::vector<bool> refused;
  // The names the run claimed (an empty entry each, where the volume refuses
  // the no-replace flag), by entry: only these may ever be removed.
  struct Claim {
    std::size_t index;
    std::string name;
    FileSystem::ClaimIdentity identity;
  };
  std::vector<Claim> claims;
  // The claim the journal tells of last, while no later record shows that
  // the process that made it went on: a kill came between its intent and
  // its record, or between its record and the rename onto it (which on a
  // FUSE volume may leave the claim under another inode number). It goes
  // only when it can be nothing but that claim (FileSystem::IsLeftoverClaim).
  struct LastClaim {
    std::size_t index;
    std::string name;
    std::string from;  // the entry that was to be renamed onto it
    std::uint64_t at;  // the system clock before the claim, nanoseconds since the epoch
    std::optional<FileSystem::ClaimIdentity> made;  // its record, if written
  };
  std::optional<LastClaim> lastClaim;
  std::vector<std::size_t> batchStarts;  // the first entry of each batch
  std::size_t total = 0;                 // renames the run meant to attempt
  bool finished = false;
  bool undone = false;
  // An undo of the run began and neither ended (undone) nor was given up
  // (finished since): a kill cut it short.
  bool undoBegun = false;

  bool Refused(std::size_t index) const { return index < refused.size() && refused[index]; }
  // Renamed and Stranded entries that are not refused.
  std::size_t Changed() const {
    std::size_t changed = 0;
    for (std::size_t i = 0; i < states.size(); ++i)
      changed += (states[i] == EntryState::Renamed || states[i] == EntryState::Stranded) && !Refused(i);
    return changed;
  }
};

constexpr char kMagic[] = "QUILLON-JOURNAL-1";
constexpr std::uint32_t kSameFolder = 0xFFFFFFFFu;
// The fewest bytes an intended rename takes: its folder's mark and two name
// lengths.
constexpr std::size_t kSmallestEntry = 12;
constexpr char kPrefix[] = "run-";
constexpr char kSuffix[] = ".journal";

enum RecordType : char {
  kHeader = 'H',
  kIntent = 'I',
  kResults = 'R',
  kTemporary = 'T',
  kClaim = 'C',
  kClaimIntent = 'A',  // a claim about to be made; with time 0, that none was
  kClaimsSettled = 'S',  // the claims intended so far were removed or kept for good
  kUndoBegun = 'B',
  kTotal = 'N',
  kFinished = 'F',
  kUndone = 'U',
};

// CRC-32 (the zlib one), eight bytes at a step through eight tables.
std::uint32_t Crc32(const char* data, std::size_t size) {
  using Tables = std::array<std::array<std::uint32_t, 256>, 8>;
  static const Tables tables = [] {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
      for (std::uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
  }();
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const auto word = [bytes](std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
  };
  std::uint32_t crc = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const std::uint32_t low = word(i) ^ crc;
    const std::uint32_t high = word(i + 4);
    crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^ tables[4][low >> 24] ^
          tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^ tables[1][(high >> 16) & 0xFF] ^
          tables[0][high >> 24];
  }
  for (; i < size; ++i) crc = tables[0][(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
void PutU64(std::string& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
void PutText(std::string& out, std::string_view text) {
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}

// A record is built in place: Begin reserves its head, End fills in the
// length and appends the checksum.
std::size_t BeginRecord(std::string& out, RecordType type) {
  const std::size_t start = out.size();
  out += static_cast<char>(type);
  PutU32(out, 0);
  return start;
}
void EndRecord(std::string& out, std::size_t start) {
  const auto length = static_cast<std::uint32_t>(out.size() - start - 5);
  for (int i = 0; i < 4; ++i) out[start + 1 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  PutU32(out, Crc32(out.data() + start, out.size() - start));
}

// Reads the fields of one record's payload; any overrun makes it bad.
class Cursor {
 public:
  Cursor(const char* data, std::size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ == size_; }
  std::size_t Remaining() const { return size_ - pos_; }
  std::uint64_t Number(int bytes) {
    if (!Need(static_cast<std::size_t>(bytes))) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
    pos_ += static_cast<std::size_t>(bytes);
    return value;
  }
  std::string Text(std::uint32_t length) {
    if (!Need(length)) return {};
    std::string text(data_ + pos_, length);
    pos_ += length;
    return text;
  }

 private:
  bool Need(std::size_t n) {
    if (!ok_ || size_ - pos_ < n) ok_ = false;
    return ok_;
  }
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// A name read back gets the checks a rename's names get: each entry renames
// inside its own folder, an absolute path that ends with the delimiter.
bool Acceptable(const Entry& entry) {
  return Paths::IsAbsolute(entry.folder) && Paths::EndsWithDelimiter(entry.folder) &&
         entry.folder.find('\0') == std::string::npos && Paths::IsPlainName(entry.oldName) &&
         Paths::IsPlainName(entry.newName);
}

bool CaseOnly(const Entry& entry) { return StringH::MayDifferInCaseOnly(entry.oldName, entry.newName); }

bool ParseRecords(const std::string& data, Run& run, std::string& reason, bool names, std::size_t* readableEnd);

// How many entries an undo goes through between two records of its progress.
constexpr std::size_t kUndoRecordEvery = 4096;

// An entry whose temporary name could lead out of its folder is refused.
void SetTemporary(Run& run, std::size_t index, std::string temporary, bool names) {
  if (names && index < run.refused.size() && !Paths::IsPlainName(temporary)) run.refused[index] = true;
  run.temporaries[index] = std::move(temporary);
}

// With `names` false the entries are only counted (states, marks and
// temporaries are read all the same): enough to tell whether a finished run
// can be undone, at a fraction of the cost. `readableEnd` gets the end of the
// last record that counts.
// No journal, however made, gets further than a refusal: what the checks
// below would miss (memory running out) ends here too.
bool ParseRun(const std::string& data, Run& run, std::string& reason, bool names = true,
              std::size_t* readableEnd = nullptr) {
  try {
    return ParseRecords(data, run, reason, names, readableEnd);
  } catch (const std::exception&) {
    run = Run{};
    return reason = "damaged journal", false;
  }
}

// A session claims a name of the entry it renames (its old or new name, or
// the temporary name it went through) for a move from another of them: a
// last claim naming anything else is not the program's and never goes.
bool ClaimsItsOwnNames(const Run& run, const Run::LastClaim& claim) {
  if (claim.index >= run.entries.size() || claim.name == claim.from) return false;
  const Entry& entry = run.entries[claim.index];
  const auto temporary = run.temporaries.find(claim.index);
  const auto own = [&](const std::string& name) {
    return name == entry.oldName || name == entry.newName ||
           (temporary != run.temporaries.end() && name == temporary->second);
  };
  return own(claim.name) && own(claim.from);
}

bool ParseRecords(const std::string& data, Run& run, std::string& reason, bool names, std::size_t* readableEnd) {
  std::size_t pos = 0;
  bool sawHeader = false;
  std::string folder;
  std::optional<Run::LastClaim> lastClaim;
  while (data.size() - pos >= 9) {
    const char* head = data.data() + pos;
    const std::uint32_t length = static_cast<std::uint32_t>(Cursor(head + 1, 4).Number(4));
    if (data.size() - pos - 9 < length) break;  // cut short by a kill: ends here
    if (static_cast<std::uint32_t>(Cursor(head + 5 + length, 4).Number(4)) != Crc32(head, 5 + length)) break;
    const char type = head[0];
    Cursor in(head + 5, length);
    pos += 9 + length;
    if (!sawHeader) {
      if (type != kHeader || in.Text(sizeof kMagic - 1) != kMagic) break;
      sawHeader = true;
      continue;
    }
    switch (type) {
      case kIntent: {
        const std::uint64_t first = in.Number(8);
        const std::uint64_t count = in.Number(4);
        // Every entry takes at least kSmallestEntry bytes, so no number read
        // here makes room for more entries than the journal's bytes can hold.
        if (!in.ok() || first != run.states.size() || count > in.Remaining() / kSmallestEntry)
          return reason = "damaged journal", false;
        const std::size_t room = std::min<std::uint64_t>(std::max<std::uint64_t>(run.total, first + count),
                                                         first + count + (data.size() - pos) / kSmallestEntry);
        if (names) {
          run.entries.reserve(room);
          run.refused.reserve(room);
        }
        for (std::uint64_t i = 0; i < count && in.ok() && names; ++i) {
          const auto folderLength = static_cast<std::uint32_t>(in.Number(4));
          if (folderLength != kSameFolder) folder = in.Text(folderLength);
          Entry entry{folder, in.Text(static_cast<std::uint32_t>(in.Number(4))), {}};
          entry.newName = in.Text(static_cast<std::uint32_t>(in.Number(4)));
          run.refused.push_back(!Acceptable(entry));
          run.entries.push_back(std::move(entry));
        }
        if (!in.ok()) return reason = "damaged journal", false;
        run.states.reserve(room);
        run.states.resize(first + count, EntryState::Pending);
        run.batchStarts.push_back(first);
        break;
      }
      case kResults: {
        const std::uint64_t first = in.Number(8);
        const std::uint64_t count = in.Number(4);
        if (!in.ok() || first > run.states.size() || count > run.states.size() - first)
          return reason = "damaged journal", false;
        for (std::uint64_t i = first; i < first + count && in.ok(); ++i) {
          const auto state = static_cast<EntryState>(in.Number(1));
          if (state > EntryState::Stranded) return reason = "damaged journal", false;
          if (state == EntryState::Stranded) SetTemporary(run, i, in.Text(static_cast<std::uint32_t>(in.Number(4))), names);
          run.states[i] = state;
        }
        if (!in.ok()) return reason = "damaged journal", false;
        break;
      }
      case kTemporary: {
        const std::uint64_t index = in.Number(8);
        std::string temporary = in.Text(static_cast<std::uint32_t>(in.Number(4)));
        if (!in.ok() || index >= run.states.size()) return reason = "damaged journal", false;
        SetTemporary(run, index, std::move(temporary), names);
        break;
      }
      case kClaim: {
        Run::Claim claim{in.Number(8), {}, {}};
        claim.name = in.Text(static_cast<std::uint32_t>(in.Number(4)));
        claim.identity = {in.Number(8), in.Number(8), in.Number(8)};
        if (!in.ok() || claim.index >= run.states.size()) return reason = "damaged journal", false;
        // A claim follows its intent at once.
        if (lastClaim && !lastClaim->made && lastClaim->index == claim.index && lastClaim->name == claim.name)
          lastClaim->made = claim.identity;
        else
          lastClaim.reset();
        // A name that could lead out of its folder is never removed.
        if (Paths::IsPlainName(claim.name)) run.claims.push_back(std::move(claim));
        continue;
      }
      case kClaimIntent: {
        Run::LastClaim intent{in.Number(8), {}, {}, 0, std::nullopt};
        intent.name = in.Text(static_cast<std::uint32_t>(in.Number(4)));
        intent.from = in.Text(static_cast<std::uint32_t>(in.Number(4)));
        intent.at = in.Number(8);
        if (!in.ok() || intent.index >= run.states.size()) return reason = "damaged journal", false;
        // Time 0: no claim was made.
        if (intent.at != 0 && Paths::IsPlainName(intent.name) && Paths::IsPlainName(intent.from))
          lastClaim = std::move(intent);
        else
          lastClaim.reset();
        continue;
      }
      case kTotal:
        // No journal could hold the intents of more renames than this.
        run.total = in.Number(8);
        if (run.total > JournalFiles::kMaxJournalSize / kSmallestEntry) return reason = "damaged journal", false;
        break;
      case kFinished:
        run.finished = true;
        run.undoBegun = false;
        break;
      case kUndone:
        run.finished = run.undone = true;
        run.undoBegun = false;
        break;
      case kUndoBegun:  // written before an undo's first claim
        run.undoBegun = true;
        continue;
      default:
        break;  // a later kind of record (kClaimsSettled among them): skipped
    }
    lastClaim.reset();  // the process went on
  }
  if (!sawHeader) return reason = "not a rename journal", false;
  // Only a claim read with the entry's names can be told for the program's.
  if (!names || (lastClaim && !ClaimsItsOwnNames(run, *lastClaim))) lastClaim.reset();
  run.lastClaim = std::move(lastClaim);
  if (readableEnd) *readableEnd = pos;
  return true;
}

// An open journal that this process holds alone; closed (and so released)
// when the object goes.
class HeldJournal {
 public:
  using Mode = JournalFiles::File::Mode;
  explicit HeldJournal(const std::string& path, Mode mode = Mode::Read) {
    if (file_.Open(path, mode, reason_) && !file_.Lock(false)) {
      reason_ = "the journal is in use by another Quillon";
      file_.Close();
    }
  }
  JournalFiles::File& file() { return file_; }
  const std::string& reason() const { return reason_; }
  // Set by ReadHeld: a record torn by a crash or power cut at the end.
  std::size_t readableEnd = 0;
  bool torn = false;

 private:
  JournalFiles::File file_;
  std::string reason_;
};

bool IsRecordedClaim(const Run& run, std::size_t index, const std::string& folder, const std::string& name);

// Whether `name` stands in `folder` with exactly these bytes (only a change
// of case needs the listing: there the other spelling answers too), and is
// no claim the run recorded for entry `index`.
bool Stands(const Run& run, std::size_t index, const std::string& folder, const std::string& name) {
  if (!JournalFiles::Exists(folder + name) || IsRecordedClaim(run, index, folder, name)) return false;
  return !CaseOnly(run.entries[index]) || FileSystem::ListingHoldsExactly(folder, name);
}

// Whether `name` in `folder` is the claim a kill left as the journal's last
// (see Run::LastClaim) for entry `index`; `whyNot` as IsLeftoverClaim.
bool IsLastClaim(const Run& run, std::size_t index, const std::string& folder, const std::string& name,
                 std::string* whyNot = nullptr) {
  const std::optional<Run::LastClaim>& last = run.lastClaim;
  if (!last || last->index != index || last->name != name) return false;
  return FileSystem::IsLeftoverClaim(folder, name, last->from, last->at, last->made ? &*last->made : nullptr, whyNot);
}

// Whether `name` in `folder` is a claim the run made for entry `index`: one
// it recorded, still the same empty entry, or the last one, cut short by a
// kill, that can be nothing else.
bool IsRecordedClaim(const Run& run, std::size_t index, const std::string& folder, const std::string& name) {
  return std::any_of(run.claims.begin(), run.claims.end(),
                     [&](const Run::Claim& claim) {
                       return claim.index == index && claim.name == name &&
                              FileSystem::IsClaimUnchanged(folder + name, claim.identity);
                     }) ||
         IsLastClaim(run, index, folder, name);
}

// The results of entries first..first+states.size()-1; `temporaries` holds
// the temporary name of each Stranded state in order.
std::string ResultsRecord(std::size_t first, const std::vector<EntryState>& states,
                          const std::vector<std::string>& temporaries) {
  std::string record;
  record.reserve(states.size() + 32);
  const std::size_t start = BeginRecord(record, kResults);
  PutU64(record, first);
  PutU32(record, static_cast<std::uint32_t>(states.size()));
  std::size_t nextTemporary = 0;
  for (EntryState state : states) {
    record += static_cast<char>(state);
    if (state == EntryState::Stranded)
      PutText(record, nextTemporary < temporaries.size() ? temporaries[nextTemporary++] : std::string());
  }
  EndRecord(record, start);
  return record;
}

std::string TemporaryRecord(std::size_t index, const std::string& temporary) {
  std::string record;
  const std::size_t start = BeginRecord(record, kTemporary);
  PutU64(record, index);
  PutText(record, temporary);
  EndRecord(record, start);
  return record;
}

std::string ClaimRecord(std::size_t index, const std::string& name, const FileSystem::ClaimIdentity& claim) {
  std::string record;
  const std::size_t start = BeginRecord(record, kClaim);
  PutU64(record, index);
  PutText(record, name);
  PutU64(record, claim.device);
  PutU64(record, claim.inode);
  PutU64(record, claim.changed);
  EndRecord(record, start);
  return record;
}

// `at` 0: no claim was made.
std::string ClaimIntentRecord(std::size_t index, std::string_view name, std::string_view from, std::uint64_t at) {
  std::string record;
  const std::size_t start = BeginRecord(record, kClaimIntent);
  PutU64(record, index);
  PutText(record, name);
  PutText(record, from);
  PutU64(record, at);
  EndRecord(record, start);
  return record;
}

// Has the session's temporary names (made durable) and claims (their intent
// before they are made, then whether they were) recorded as entry `index`'s,
// through `append` (the record, and whether it must be synced). A run's
// writer and an undo share this. A claim's records are not synced: a kill
// leaves them to the system, and what a power cut loses is an empty entry.
using AppendRecord = std::function<bool(const std::string& record, bool sync)>;
void RecordNoticesThrough(FileSystem::RenameSession& session, const std::size_t& index, const AppendRecord& append) {
  session.SetTemporaryNameNotice(
      [append, &index](const std::string& temporary) { return append(TemporaryRecord(index, temporary), true); });
  session.SetClaimNotice([append, &index](const FileSystem::ClaimEvent& event) {
    using Step = FileSystem::ClaimEvent::Step;
    if (event.step == Step::Made) return append(ClaimRecord(index, std::string(event.name), event.claim), false);
    return append(ClaimIntentRecord(index, event.name, event.from, event.step == Step::Intended ? event.intendedAt : 0),
                  false);
  });
}

// The states of entries first..end-1 as the run holds them now.
std::string StatesRecord(const Run& run, std::size_t first, std::size_t end) {
  std::vector<std::string> temporaries;
  for (std::size_t i = first; i < end; ++i)
    if (run.states[i] == EntryState::Stranded) temporaries.push_back(run.temporaries.at(i));
  return ResultsRecord(first, {run.states.begin() + static_cast<std::ptrdiff_t>(first),
                               run.states.begin() + static_cast<std::ptrdiff_t>(end)},
                       temporaries);
}

// Appends one record to a held journal and makes it durable.
bool AppendMark(JournalFiles::File& file, RecordType type, std::string& reason) {
  std::string record;
  EndRecord(record, BeginRecord(record, type));
  return file.WriteAll(record, reason) && file.Sync(false, reason);
}

// Records written after a torn record could never be read: the torn bytes go
// first. `records` (may be empty) go before the mark, in the same write.
bool AppendMark(HeldJournal& held, RecordType type, std::string& reason, const std::string& records = {}) {
  if (held.torn && !held.file().Truncate(held.readableEnd, reason)) return false;
  held.torn = false;
  return (records.empty() || held.file().WriteAll(records, reason)) && AppendMark(held.file(), type, reason);
}


// Reads a journal that this process holds; with `names` false as ParseRun.
bool ReadHeld(HeldJournal& held, const std::string& path, Run& run, std::string& reason, bool names = true) {
  std::string data;
  if (!held.file().IsOpen()) return reason = held.reason(), false;
  if (!held.file().ReadAll(data, reason)) return false;
  run = Run{};
  run.path = path;
  if (!ParseRun(data, run, reason, names, &held.readableEnd)) return false;
  held.torn = held.readableEnd < data.size();
  return true;
}

// The mark a finished or undone journal ends with, read from its last bytes
// alone, so that a run found undone or finished needs no full read; 0 for any
// other ending (a torn record, a run still going), which the caller then
// reads whole. Only a name whose bytes copy a mark record together with its
// checksum could pass for one.
char EndMark(JournalFiles::File& file) {
  constexpr std::size_t kMarkSize = 9;
  std::string tail;
  std::string reason;
  if (!file.ReadTail(kMarkSize, tail, reason) || tail.size() != kMarkSize) return 0;
  if (tail[0] != kFinished && tail[0] != kUndone) return 0;
  if (Cursor(tail.data() + 1, 4).Number(4) != 0) return 0;
  if (static_cast<std::uint32_t>(Cursor(tail.data() + 5, 4).Number(4)) != Crc32(tail.data(), 5)) return 0;
  return tail[0];
}

bool HasPending(const Run& run) {
  return std::find(run.states.begin(), run.states.end(), EntryState::Pending) != run.states.end();
}

// A journal's name: "run-s<sequence>-<pid>.journal", numbered by the state
// folder's counter, or "run-<nanoseconds since the epoch>-<pid>.journal" as
// earlier releases named them, all older than the numbered ones. Both
// numbers have 20 digits. Other names are no journals: never read, never
// pruned.
struct RunName {
  std::string name;
  bool sequenced = false;
  std::uint64_t number = 0;
  std::uint64_t pid = 0;

  bool NewerThan(const RunName& other) const {
    if (sequenced != other.sequenced) return sequenced;
    return number != other.number ? number > other.number : pid > other.pid;
  }
};

constexpr char kCounterName[] = "sequence";

std::string RunFileName(std::uint64_t sequence, unsigned long long pid) {
  char name[96];
  std::snprintf(name, sizeof name, "%ss%020llu-%llu%s", kPrefix, static_cast<unsigned long long>(sequence), pid,
                kSuffix);
  return name;
}

// Up to 20 decimal digits, no more and none else; false on overflow.
bool ParseDigits(std::string_view digits, std::uint64_t& value) {
  if (digits.empty() || digits.size() > 20) return false;
  value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || value > (UINT64_MAX - static_cast<std::uint64_t>(c - '0')) / 10) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

std::optional<RunName> ParseRunName(std::string_view name) {
  const std::string_view prefix = kPrefix;
  const std::string_view suffix = kSuffix;
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
  RunName run{std::string(name)};
  name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  run.sequenced = name.starts_with('s');
  if (run.sequenced) name.remove_prefix(1);
  const std::size_t dash = name.find('-');
  if (dash != 20 || !ParseDigits(name.substr(0, dash), run.number) || !ParseDigits(name.substr(dash + 1), run.pid))
    return std::nullopt;
  return run;
}

// The journals of a folder only this user can write, newest first; none
// from a folder others could plant files in.
std::vector<RunName> ListRuns(const std::string& stateFolder) {
  std::string reason;
  if (stateFolder.empty() || !JournalFiles::IsPrivateFolder(stateFolder, reason)) return {};
  std::vector<FileSystem::Entry> listing;
  FileSystem::ReadFolderKinds(
      stateFolder, [](std::string_view name) { return ParseRunName(name).has_value(); }, listing);
  std::vector<RunName> runs;
  runs.reserve(listing.size());
  for (const FileSystem::Entry& entry : listing)
    if (!entry.isFolder) runs.push_back(*ParseRunName(entry.name));
  std::sort(runs.begin(), runs.end(), [](const RunName& a, const RunName& b) { return a.NewerThan(b); });
  return runs;
}

std::uint64_t NewestSequence(const std::string& stateFolder) {
  std::uint64_t newest = 0;
  for (const RunName& run : ListRuns(stateFolder))
    if (run.sequenced) newest = std::max(newest, run.number);
  return newest;
}

// The state folder's run counter ("sequence", the number of the last run in
// decimal), locked while the object lives. A counter that cannot be read or
// kept (gone, damaged, not a regular file) gives way to the journals' own
// numbers: order never depends on the clock.
class SequenceCounter {
 public:
  explicit SequenceCounter(const std::string& stateFolder) {
    std::string reason;
    if (file_.Open(Paths::Join(stateFolder, kCounterName), JournalFiles::File::Mode::Counter, reason))
      file_.Lock(true);
  }
  // The number for a new run: above the counter and above `newestKnown`.
  std::uint64_t Next(std::uint64_t newestKnown) {
    std::uint64_t counted = 0;
    std::string text;
    std::string reason;
    if (file_.IsOpen() && file_.ReadTail(32, text, reason)) {
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      if (!ParseDigits(text, counted)) counted = 0;
    }
    return std::max(counted, newestKnown) + 1;
  }
  void Store(std::uint64_t sequence) {
    std::string reason;
    if (file_.IsOpen() && file_.Rewrite(std::to_string(sequence) + "\n", reason)) file_.Sync(false, reason);
  }

 private:
  JournalFiles::File file_;
};

}  // namespace

bool CreateStateFolder(const std::string& stateFolder, std::string& reason) {
  return JournalFiles::MakeFolders(stateFolder, reason) && JournalFiles::IsPrivateFolder(stateFolder, reason);
}

Writer::~Writer() = default;

bool Writer::Open(const std::string& stateFolder, std::string& reason) {
  if (stateFolder.empty()) return reason = "no state folder is known", false;
  if (!CreateStateFolder(stateFolder, reason)) return false;
  // The counter stays locked until the journal stands, so that two
  // processes never take the same number.
  SequenceCounter counter(stateFolder);
  std::uint64_t sequence = counter.Next(NewestSequence(stateFolder));
  const auto pid = static_cast<unsigned long long>(JournalFiles::ProcessId());
  for (int attempt = 0; attempt < 100 && !file_.IsOpen(); ++attempt, ++sequence) {
    path_ = Paths::Join(stateFolder, RunFileName(sequence, pid));
    if (!file_.Open(path_, JournalFiles::File::Mode::CreateNew, reason) && !file_.NameTaken()) break;
  }
  if (!file_.IsOpen()) return false;
  counter.Store(sequence - 1);
  file_.Lock(true);

  std::string header;
  const std::size_t start = BeginRecord(header, kHeader);
  header += kMagic;
  PutU64(header, pid);
  EndRecord(header, start);
  if (!file_.WriteAll(header, reason) || !file_.Sync(true, reason)) {
    file_.Close();
    FileSystem::DeleteFile(path_);
    return false;
  }
  JournalFiles::SyncFolder(stateFolder);

  // Only journals this user can trust count and go; a file that merely has
  // a journal's name neither takes a place nor is deleted.
  std::size_t kept = 0;
  for (const std::string& run : RunFiles(stateFolder)) {
    JournalFiles::File file;
    if (!file.Open(run, JournalFiles::File::Mode::Read, reason)) continue;
    if (++kept > kKeptRuns && file.Lock(false)) FileSystem::DeleteFile(run);
  }
  reason.clear();
  return true;
}

bool Writer::Append(const std::string& record, bool sync, std::string& reason) {
  if (!file_.IsOpen()) return reason = "the journal is not open", false;
  return file_.WriteAll(record, reason) && (!sync || file_.Sync(false, reason));
}

bool Writer::WriteIntent(const std::vector<EntryView>& batch, std::string& reason) {
  // Numbered across the run: the count so far travels in the record.
  std::string record;
  if (written_ == 0) {
    const std::size_t start = BeginRecord(record, kTotal);
    PutU64(record, std::max(total_, batch.size()));
    EndRecord(record, start);
  }
  std::size_t size = record.size() + 32;
  for (const EntryView& e : batch) size += 12 + e.oldName.size() + e.newName.size() + e.folder.size();
  record.reserve(size);
  const std::size_t start = BeginRecord(record, kIntent);
  PutU64(record, written_);
  PutU32(record, static_cast<std::uint32_t>(batch.size()));
  for (const EntryView& e : batch) {
    if (e.folder == lastFolder_) {
      PutU32(record, kSameFolder);
    } else {
      PutText(record, e.folder);
      lastFolder_ = e.folder;
    }
    PutText(record, e.oldName);
    PutText(record, e.newName);
  }
  EndRecord(record, start);
  if (!Append(record, true, reason)) return false;
  written_ += batch.size();
  return true;
}

bool Writer::WriteResults(std::size_t first, const std::vector<EntryState>& states,
                          const std::vector<std::string>& temporaries, std::string& reason) {
  return Append(ResultsRecord(first, states, temporaries), false, reason);
}

bool Writer::WriteTemporary(std::size_t index, const std::string& temporary, std::string& reason) {
  return Append(TemporaryRecord(index, temporary), true, reason);
}

bool Writer::WriteClaim(std::size_t index, const std::string& name, const FileSystem::ClaimIdentity& claim,
                        std::string& reason) {
  return Append(ClaimRecord(index, name, claim), false, reason);
}

bool Writer::WriteClaimIntent(std::size_t index, const std::string& name, const std::string& from,
                             std::uint64_t intendedAt, std::string& reason) {
  return Append(ClaimIntentRecord(index, name, from, intendedAt), false, reason);
}

bool Writer::Intend(const std::vector<EntryView>& batch, std::string& reason) {
  batchFirst_ = written_;
  attempted_ = written_;
  states_.clear();
  temporaries_.clear();
  if (!WriteIntent(batch, reason)) return false;
  shared_ = SharedNames(batch);
  return true;
}

void Writer::Watch(FileSystem::RenameSession& session) {
  RecordNoticesThrough(session, attempted_, [this](const std::string& record, bool sync) {
    const bool written = Append(record, sync, noticeReason_);
    noticeFailed_ = noticeFailed_ || !written;
    return written;
  });
}

void Writer::Attempt() { attempted_ = batchFirst_ + states_.size(); }

bool Writer::Done(EntryState state, const std::string& temporary, std::string& reason) {
  states_.push_back(state);
  if (state == EntryState::Stranded) temporaries_.push_back(temporary);
  const std::size_t i = states_.size() - 1;
  if (i < shared_.size() && shared_[i] &&
      !WriteResults(attempted_, {state}, state == EntryState::Stranded ? std::vector<std::string>{temporary}
                                                                       : std::vector<std::string>{},
                    reason))
    return false;
  if (noticeFailed_) return reason = noticeReason_, false;
  return true;
}

bool Writer::EndBatch(std::string& reason) {
  // The entries a stop or a cancel kept from being attempted kept their
  // names: that is written too, so that nothing is left to the disk.
  states_.resize(shared_.size(), EntryState::Failed);
  return states_.empty() || WriteResults(batchFirst_, states_, temporaries_, reason);
}

bool Writer::Finish(std::string& reason) {
  if (!file_.IsOpen()) return reason = "the journal is not open", false;
  const bool ok = AppendMark(file_, kFinished, reason);
  file_.Close();
  return ok;
}

namespace {

// The entries that rename a folder in which other entries of the run lie
// ("<folder><old name>/" begins another entry's folder), in run order.
std::vector<std::size_t> FolderRenames(const Run& run) {
  std::vector<std::string_view> folders;
  for (const Entry& entry : run.entries)
    if (folders.empty() || folders.back() != entry.folder) folders.push_back(entry.folder);
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  std::vector<std::size_t> renames;
  for (std::size_t j = 0; j < run.entries.size(); ++j) {
    const std::string path = Paths::WithTrailingDelimiter(run.entries[j].folder + run.entries[j].oldName);
    const auto at = std::lower_bound(folders.begin(), folders.end(), std::string_view(path));
    if (at != folders.end() && at->starts_with(path)) renames.push_back(j);
  }
  return renames;
}

// Where entry `index`'s folder stands now: moved along by every later entry
// that renamed it or a folder above it (their states are known).
std::string FolderNow(const Run& run, const std::vector<std::size_t>& folderRenames, std::size_t index) {
  std::string folder = run.entries[index].folder;
  for (auto j = std::upper_bound(folderRenames.begin(), folderRenames.end(), index); j != folderRenames.end(); ++j) {
    const Entry& moved = run.entries[*j];
    const EntryState state = run.states[*j];
    if (run.Refused(*j) || (state != EntryState::Renamed && state != EntryState::Stranded)) continue;
    const std::string from = Paths::WithTrailingDelimiter(moved.folder + moved.oldName);
    if (!folder.starts_with(from)) continue;
    const auto temporary = run.temporaries.find(*j);
    const std::string& to = state == EntryState::Renamed || temporary == run.temporaries.end() ? moved.newName
                                                                                              : temporary->second;
    folder = Paths::WithTrailingDelimiter(moved.folder + to) + folder.substr(from.size());
  }
  return folder;
}

// Decides every Pending entry from what is on disk now. Only the run's last
// batch can hold pending entries (each intent's sync makes the results
// before it durable). An entry whose names no other entry of its batch uses
// is decided by its names alone, looked for where its folder went when the
// run renamed that folder later (the batch is walked last to first, so that
// those renames are known). Entries sharing names get their result written
// right after their rename, so after a kill only the first of them still
// pending can have been attempted, and it is decided from the disk; the
// later ones were not. (After a power failure their results may be lost
// while their renames are done: those count as not done.)
void ResolvePending(Run& run) {
  if (!HasPending(run)) return;
  const std::vector<std::size_t> folderRenames = FolderRenames(run);
  const auto decide = [&run, &folderRenames](std::size_t i) {
    const Entry& entry = run.entries[i];
    const std::string folder = FolderNow(run, folderRenames, i);
    // A temporary name is unique to its entry: what stands there is the
    // entry, unless it is the claim a run killed before the move made.
    const auto temporary = run.temporaries.find(i);
    if (temporary != run.temporaries.end() && JournalFiles::Exists(folder + temporary->second) &&
        !IsRecordedClaim(run, i, folder, temporary->second))
      return EntryState::Stranded;
    if (Stands(run, i, folder, entry.oldName)) return EntryState::Failed;
    return Stands(run, i, folder, entry.newName) ? EntryState::Renamed : EntryState::Failed;
  };
  for (std::size_t b = run.batchStarts.size(); b-- > 0;) {
    const std::size_t first = run.batchStarts[b];
    const std::size_t end = b + 1 < run.batchStarts.size() ? run.batchStarts[b + 1] : run.entries.size();
    if (std::none_of(run.states.begin() + static_cast<std::ptrdiff_t>(first),
                     run.states.begin() + static_cast<std::ptrdiff_t>(end),
                     [](EntryState s) { return s == EntryState::Pending; }))
      continue;
    const std::vector<bool> shared = SharedNames(run.entries, first, end - first);
    for (std::size_t i = end; i-- > first;)
      if (run.states[i] == EntryState::Pending && !shared[i - first])
        run.states[i] = run.Refused(i) ? EntryState::Failed : decide(i);
    bool sharedAttempt = false;
    for (std::size_t i = first; i < end; ++i) {
      if (run.states[i] != EntryState::Pending) continue;
      run.states[i] = sharedAttempt || run.Refused(i) ? EntryState::Failed : decide(i);
      sharedAttempt = true;
    }
  }
}

// What a recovery or an undo cut short left, read from the disk: an entry
// standing under a temporary name it was given is there (Stranded); one that
// left its temporary name has the name it stands under; and while an undo
// was cut short, a renamed entry found back under its old name (its new one
// free) counts as undone (kept under its old name).
void Settle(Run& run) {
  for (const auto& [index, temporary] : run.temporaries) {
    if (run.Refused(index)) continue;
    const Entry& entry = run.entries[index];
    if (JournalFiles::Exists(entry.folder + temporary) && !IsRecordedClaim(run, index, entry.folder, temporary))
      run.states[index] = EntryState::Stranded;
    else if (run.states[index] == EntryState::Stranded && Stands(run, index, entry.folder, entry.oldName))
      run.states[index] = EntryState::Failed;
    else if (run.states[index] == EntryState::Stranded && Stands(run, index, entry.folder, entry.newName))
      run.states[index] = EntryState::Renamed;
  }
  for (std::size_t i = 0; i < run.states.size() && run.undoBegun; ++i) {
    if (run.Refused(i) || run.states[i] != EntryState::Renamed) continue;
    const Entry& entry = run.entries[i];
    if (Stands(run, i, entry.folder, entry.oldName) && !Stands(run, i, entry.folder, entry.newName))
      run.states[i] = EntryState::Failed;
  }
}

}  // namespace

bool ReadJournalBytes(const std::string& data, JournalContents& contents, std::string& reason) {
  Run counted;
  Run run;
  if (!ParseRun(data, counted, reason, false)) return false;
  if (!ParseRun(data, run, reason)) return false;
  contents = {run.entries.size(), counted.states.size(), run.Changed(), run.total, run.finished, run.undone,
              static_cast<std::size_t>(std::count(run.refused.begin(), run.refused.end(), true))};
  for (std::size_t b = 0; b < run.batchStarts.size(); ++b) {
    const std::size_t first = run.batchStarts[b];
    const std::size_t end = b + 1 < run.batchStarts.size() ? run.batchStarts[b + 1] : run.entries.size();
    const std::vector<bool> shared = SharedNames(run.entries, first, end - first);
    contents.shared += static_cast<std::size_t>(std::count(shared.begin(), shared.end(), true));
  }
  return true;
}

std::vector<std::string> RunFiles(const std::string& stateFolder) {
  std::vector<std::string> paths;
  for (const RunName& run : ListRuns(stateFolder)) paths.push_back(Paths::Join(stateFolder, run.name));
  return paths;
}

std::string JournalNotice(const std::string& stateFolder) {
  std::string reason;
  if (stateFolder.empty() || !JournalFiles::Exists(stateFolder)) return {};
  if (!JournalFiles::IsPrivateFolder(stateFolder, reason))
    return "The rename journals in " + stateFolder + " are not used: " + reason + ".";
  std::string skipped;
  for (const RunName& name : ListRuns(stateFolder)) {
    JournalFiles::File file;
    std::string data;
    Run run;
    // Only a journal that does not end with its mark is read whole here, as
    // the search for an unfinished run reads it anyway; the others are read
    // only when undone, and refused then if they must be.
    if (!file.Open(Paths::Join(stateFolder, name.name), JournalFiles::File::Mode::Read, reason) ||
        (EndMark(file) == 0 && (!file.ReadAll(data, reason) || !ParseRun(data, run, reason, false))))
      skipped += "\n" + name.name + ": " + reason;
  }
  return skipped.empty() ? std::string() : "These rename journals were skipped:" + skipped;
}

std::string RunFilesStamp(const std::string& stateFolder) {
  std::string stamp;
  for (const std::string& path : RunFiles(stateFolder)) {
    FileSystem::Entry entry{Paths::LastPart(path), false, false, -1, 0, false, false};
    FileSystem::ExamineEntry(Paths::ParentPart(path), entry);
    stamp += path + '\n' + std::to_string(entry.size) + '\n';
  }
  return stamp;
}

std::optional<std::string> NewestUndoableRun(const std::string& stateFolder) {
  for (const std::string& path : RunFiles(stateFolder)) {
    HeldJournal held(path);
    if (!held.file().IsOpen() || EndMark(held.file()) == kUndone) continue;
    Run run;
    std::string reason;
    if (!ReadHeld(held, path, run, reason, false) || run.undone) continue;
    if (HasPending(run) || run.undoBegun) {
      if (!ReadHeld(held, path, run, reason)) continue;
      ResolvePending(run);
      Settle(run);
    }
    if (run.Changed() > 0) return path;
  }
  return std::nullopt;
}

std::optional<UnfinishedRun> FindUnfinishedRun(const std::string& stateFolder) {
  for (const std::string& path : RunFiles(stateFolder)) {
    HeldJournal held(path);
    if (!held.file().IsOpen() || EndMark(held.file()) != 0) continue;
    Run run;
    std::string reason;
    if (!ReadHeld(held, path, run, reason, false) || (run.finished && !run.undoBegun) ||
        !ReadHeld(held, path, run, reason))
      continue;
    ResolvePending(run);
    Settle(run);
    UnfinishedRun unfinished{path, run.Changed(), std::max(run.total, run.entries.size()), {}, 0, run.undoBegun};
    if (!run.entries.empty()) {
      unfinished.folder = run.entries.front().folder;
      std::unordered_set<std::string_view> folders;
      for (const Entry& entry : run.entries) folders.insert(entry.folder);
      unfinished.otherFolders = folders.size() - 1;
    }
    return unfinished;
  }
  return std::nullopt;
}

// Has the session's temporary names (durably) and claims recorded in the held
// journal as entry `current`'s before they are made, as a run's writer does.
void RecordNotices(HeldJournal& held, FileSystem::RenameSession& session, const std::size_t& current) {
  RecordNoticesThrough(session, current, [&held](const std::string& record, bool sync) {
    std::string reason;
    return held.file().WriteAll(record, reason) && (!sync || held.file().Sync(false, reason));
  });
}

// A process killed while it renamed on a volume without the no-replace flag
// can leave the empty entry with which it claimed a name. Only claims the
// journal recorded go, and only while they are still the same empty entry:
// an empty file the user put under such a name stays. The journal's last
// claim, whose record a kill may have kept from being written, goes only
// when it can be nothing else; that is decided once: the record returned
// (empty when there was nothing to decide) settles it for every later
// reading, and is written before anything is renamed onto the name.
std::string RemoveRecordedClaims(const Run& run) {
  for (const Run::Claim& claim : run.claims)
    if (!run.Refused(claim.index))
      FileSystem::RemoveClaimIfUnchanged(run.entries[claim.index].folder + claim.name, claim.identity);
  const std::optional<Run::LastClaim>& last = run.lastClaim;
  std::string settled;
  if (!last) return settled;
  if (!run.Refused(last->index))
    FileSystem::RemoveLeftoverClaim(run.entries[last->index].folder, last->name, last->from, last->at,
                                    last->made ? &*last->made : nullptr);
  EndRecord(settled, BeginRecord(settled, kClaimsSettled));
  return settled;
}

// After the undo of entry `index` found `name` taken: when the run meant to
// claim that name and recorded no claim, says why what stands there was kept.
// `failedBefore`: how many failures were noted before this entry's.
void ExplainKeptClaim(const Run& run, std::size_t index, const std::string& name, std::size_t failedBefore,
                      UndoResult& result) {
  std::string why;
  if (result.failed.size() <= failedBefore || IsLastClaim(run, index, run.entries[index].folder, name, &why) ||
      why.empty())
    return;
  result.failed.back().reason = "name taken by what may be left from an interrupted rename, kept because " + why;
}

UndoResult UndoRun(const std::string& path, RenameEngine::RunControl* control) {
  UndoResult result;
  HeldJournal held(path, HeldJournal::Mode::Append);
  Run run;
  if (!ReadHeld(held, path, run, result.error)) return result;
  if (run.undone) return result.error = "this rename was undone already", result;
  ResolvePending(run);
  Settle(run);  // what an undo cut short did counts as done then, not now
  const std::string settled = RemoveRecordedClaims(run);

  // The undo is journaled as a run is: begun (durably) before its first
  // rename, the temporary names and claims of the entry being undone before
  // they are made, and the entries undone so far (as kept under their old
  // names) every so many entries, so that a kill is resumed exactly. A
  // journal that cannot take this does not keep the names from coming back.
  std::string ignored;
  AppendMark(held, kUndoBegun, ignored, settled);
  std::size_t current = 0;
  FileSystem::RenameSession session;
  RecordNotices(held, session, current);
  std::size_t chunkEnd = run.entries.size();
  if (control)
    control->total = static_cast<std::size_t>(std::count_if(run.states.begin(), run.states.end(), [](EntryState s) {
      return s == EntryState::Renamed || s == EntryState::Stranded;
    }));
  std::size_t tried = 0;
  const auto recordUndone = [&](std::size_t from) {
    if (from == chunkEnd) return;
    held.file().WriteAll(StatesRecord(run, from, chunkEnd), ignored);
    chunkEnd = from;
  };
  bool cancelled = false;
  for (std::size_t i = run.entries.size(); i-- > 0;) {
    if (control && control->cancel.load(std::memory_order_relaxed)) {
      recordUndone(i + 1);
      cancelled = true;
      break;
    }
    if (chunkEnd - i > kUndoRecordEvery) recordUndone(i + 1);
    const Entry& entry = run.entries[i];
    const EntryState state = run.states[i];
    if (run.Refused(i)) {
      ++result.errors;
      continue;
    }
    if (state != EntryState::Renamed && state != EntryState::Stranded) continue;
    current = i;
    if (control) control->done.store(++tried, std::memory_order_relaxed);
    const std::string& from = state == EntryState::Stranded ? run.temporaries[i] : entry.newName;
    const FileSystem::RenameResult renamed = session.Rename(entry.folder, from, entry.oldName);
    if (renamed == FileSystem::RenameResult::Renamed) {
      ++result.undone;
      run.states[i] = EntryState::Failed;
    } else {
      ++result.errors;
      const std::size_t failedBefore = result.failed.size();
      FileSystem::NoteFailure(result.failed, entry.folder, from, entry.oldName, renamed);
      if (renamed == FileSystem::RenameResult::TargetExists)
        ExplainKeptClaim(run, i, entry.oldName, failedBefore, result);
      if (!session.StrandedName().empty()) result.stranded.push_back(entry.folder + session.StrandedName());
    }
  }
  if (cancelled) {
    // Cancelled part way: what was undone is recorded, and the rest of the
    // run stays undoable.
    result.cancelled = true;
    std::string reason;
    if (!AppendMark(held, kFinished, reason, StatesRecord(run, 0, run.states.size())))
      result.error = "the undo could not be recorded: " + reason;
    return result;
  }
  recordUndone(0);
  // Nothing found where the run left it (its folder moved, its volume gone):
  // the run stays as it was, to be undone when its files are back.
  if (result.undone == 0 && result.errors > 0) {
    result.keptUndoable = true;
    std::string reason;
    AppendMark(held, kFinished, reason, StatesRecord(run, 0, run.states.size()));
    return result;
  }
  std::string reason;
  if (!AppendMark(held, kUndone, reason)) result.error = "the undo could not be recorded: " + reason;
  return result;
}

namespace {

// A run killed inside a cycle leaves the cycle's first file under the
// cycle's temporary name: the entry that would have moved it on did not. The
// cycle is completed, so that the file gets the name it was meant to get (or,
// when that is still taken, its own old name back): "No" never leaves a file
// under a hidden name.
void MoveOnFromCycleNames(Run& run, FileSystem::RenameSession& session, std::size_t& current) {
  std::unordered_map<std::string, std::size_t> movedThere;  // folder + temporary name -> entry
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    if (run.Refused(i)) continue;
    const Entry& entry = run.entries[i];
    if (run.states[i] == EntryState::Renamed && entry.newName.rfind(RenamePlan::kCycleNamePrefix, 0) == 0) {
      movedThere[entry.folder + entry.newName] = i;
      continue;
    }
    const auto found = movedThere.find(entry.folder + entry.oldName);
    if (found == movedThere.end() || run.states[i] == EntryState::Renamed) continue;
    using FileSystem::RenameResult;
    // The cycle's other entries lie between its two moves: those the kill
    // kept from moving go first, freeing the name the first file waits for.
    for (std::size_t k = found->second + 1; k < i; ++k) {
      if (run.Refused(k) || run.states[k] == EntryState::Renamed) continue;
      current = k;
      if (session.Rename(run.entries[k].folder, run.entries[k].oldName, run.entries[k].newName) ==
          RenameResult::Renamed)
        run.states[k] = EntryState::Renamed;
    }
    current = i;
    if (session.Rename(entry.folder, entry.oldName, entry.newName) == RenameResult::Renamed) {
      run.states[i] = EntryState::Renamed;
    } else {
      const Entry& first = run.entries[found->second];
      current = found->second;
      if (session.Rename(first.folder, first.newName, first.oldName) == RenameResult::Renamed)
        run.states[found->second] = EntryState::Failed;
    }
  }
}

}  // namespace

bool KeepRun(const std::string& path, std::string& reason) {
  HeldJournal held(path, HeldJournal::Mode::Append);
  Run run;
  if (!ReadHeld(held, path, run, reason)) return false;
  ResolvePending(run);
  const std::string settled = RemoveRecordedClaims(run);
  if (!settled.empty() && !AppendMark(held, kClaimsSettled, reason)) return false;
  FileSystem::RenameSession session;
  std::size_t current = 0;
  RecordNotices(held, session, current);
  for (std::size_t i = 0; i < run.entries.size(); ++i) {
    if (run.Refused(i) || run.states[i] != EntryState::Stranded) continue;
    current = i;
    const Entry& entry = run.entries[i];
    using FileSystem::RenameResult;
    if (session.Rename(entry.folder, run.temporaries[i], entry.newName) == RenameResult::Renamed)
      run.states[i] = EntryState::Renamed;
    else if (session.Rename(entry.folder, run.temporaries[i], entry.oldName) == RenameResult::Renamed)
      run.states[i] = EntryState::Failed;
  }
  MoveOnFromCycleNames(run, session, current);
  // How every entry was decided is recorded with the mark: a later undo
  // takes these states and never the disk's, which the user may have
  // changed by hand since.
  return AppendMark(held, kFinished, reason, StatesRecord(run, 0, run.states.size()));
}

}  // namespace Journal
