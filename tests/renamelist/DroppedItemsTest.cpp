#include "renamelist/DroppedItems.h"

#include <gtest/gtest.h>

namespace {

using Entries = std::vector<RenameListEntry>;

TEST(DroppedItems, LocalFileUrlsBecomeEntriesWithExactBytesAnythingElseIsRefused) {
  struct Case {
    const char* list;
    std::optional<Entries> items;
  };
  const Case cases[] = {
      {"file:///home/ann/a.txt\r\nfile:///home/ann/Music/\r\n",
       Entries{{"a.txt", "/home/ann"}, {"Music", "/home/ann"}}},
      {"# comment\nfile://localhost/x/n%FC%0Aq%25\n", Entries{{"n\xFC\nq%", "/x"}}},
      {"file:/top.txt", Entries{{"top.txt", ""}}},
      {"file:///\r\nfile:///b", Entries{{"b", ""}}},  // the root names no item
      {"just text", std::nullopt},
      {"http://host/a", std::nullopt},
      {"file://host/a", std::nullopt},
      {"file:///a\r\nhttp://host/b", std::nullopt},
      {"file:///a%2", std::nullopt},
      {"file:///a%00b", std::nullopt},
      {"file:///a/..", std::nullopt},
      {"file:///a?query", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(DroppedItems::FromUriList(c.list, Build::Linux), c.items);
  }
  EXPECT_EQ(DroppedItems::FromUriList("file:///C:/Music/a%20b.mp3\nfile:///C:/Music/Live/\nfile:///C:/", Build::Windows),
            (Entries{{"a b.mp3", "C:\\Music"}, {"Live", "C:\\Music"}}));
}

}  // namespace
