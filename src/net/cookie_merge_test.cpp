#include "net/cookie_merge.h"

#include <gtest/gtest.h>

namespace sarvoke {
namespace {

TEST(CookieMerge, Table) {
  const Text fw(kFullWidthSpace);
  struct Row {
    const char* label;
    Text kept, returned;
    Text want, wantReturned;
  } rows[] = {
      {"new items first, then kept items with new names", "A=1; B=2", "B=3; C=4; ", "B=3; C=4; A=1",
       "B=3;C=4;"},
      {"deleted cookie disappears", "A=1; B=2", "B=deleted; ", "A=1", "B=deleted;"},
      {"deleted kept cookie disappears too", "A=deleted; B=2", "", "B=2", ""},
      {"nothing returned", "A=1", "", "A=1", ""},
      {"nothing kept", "", "X=1; ", "X=1", "X=1;"},
      {"both empty", "", "", "", ""},
      {"returned items are not compared with each other", "", "B=1; B=2; ", "B=1; B=2", "B=1;B=2;"},
      {"identical returned items kept once", "", "B=1; B=1; ", "B=1", "B=1;B=1;"},
      {"of two kept items with one name the first survives", "A=1; A=2", "", "A=1", ""},
      {"spaces inside values go", "", "n=a b; ", "n=ab", "n=ab;"},
      {"full-width spaces go as well", "k=1" + fw + "2", "", "k=12", ""},
      {"names keep their letter case", "a=1", "A=2; ", "A=2; a=1", "A=2;"},
      {"separators without a space", "A=1;B=2", "C=3;", "C=3; A=1; B=2", "C=3;"},
      {"an empty item survives once", "A=1;;B=2;;C=3", "", "A=1; ; B=2; C=3", ""},
      {"an empty returned item survives", "", "A=1;;B=2;", "A=1; ; B=2", "A=1;;B=2;"},
      {"a leading empty item stays", ";A=1", "", "; A=1", ""},
      {"a final separator gives no empty item", "A=1;", "", "A=1", ""},
      {"an empty item last is lost to the final separator rule", "A=1;;", "", "A=1", ""},
      {"name is the text ahead of the first equals sign", "A=1=2", "A=3; ", "A=3", "A=3;"},
      {"item without equals sign is its own name", "flag", "flag; ", "flag", "flag;"},
      {"deleted needs the exact case", "", "B=DELETED; ", "B=DELETED", "B=DELETED;"},
      {"an item that is only =deleted goes", "=deleted;A=1", "", "A=1", ""},
      {"double-byte value", "名=值", "", "名=值", ""},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.label);
    Text kept = r.kept, returned = r.returned;
    EXPECT_EQ(CookieMerge(kept, returned), r.want);
    EXPECT_EQ(kept, r.want);
    EXPECT_EQ(returned, r.wantReturned);
  }
}

TEST(CookieName, Table) {
  const Text fw(kFullWidthSpace);
  struct Row {
    const char* label;
    Text item, want;
  } rows[] = {
      {"plain", "sid=abc", "sid"},
      {"trimmed", " sid =abc", "sid"},
      {"full-width blanks trimmed", fw + "sid" + fw + "=x", "sid"},
      {"first equals sign", "a=b=c", "a"},
      {"no equals sign", " flag ", "flag"},
      {"empty", "", ""},
      {"empty name", "=v", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(CookieName(r.item), r.want);
  }
}

TEST(UniqueItems, Table) {
  struct Row {
    const char* label;
    Text text, separator, want;
  } rows[] = {
      {"repetition dropped", "a; b; a", "; ", "a; b"},
      {"order kept", "b; a; b; a", "; ", "b; a"},
      {"empty text", "", "; ", ""},
      {"final separator dropped", "a; b; ", "; ", "a; b"},
      {"empty pieces count as items", "a; ; ; b", "; ", "a; ; b"},
      {"byte-for-byte comparison", "a; A", "; ", "a; A"},
      {"other separator", "x|y|x", "|", "x|y"},
      {"separator inside a double-byte character is no separator", "\xB0\x7C|\xB0\x7C", "|", "\xB0\x7C"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    EXPECT_EQ(UniqueItems(r.text, r.separator), r.want);
  }
}

}  // namespace
}  // namespace sarvoke
