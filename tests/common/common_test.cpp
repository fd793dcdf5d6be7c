// Paths either fit a PathBuffer whole or are refused; never cut short.
#include "common/common.h"

#include <string>

#include "support/support.h"

TEST(PathBuffer, TakesPathsUpTo259CharactersAndRefusesLonger) {
  PathBuffer buffer;
  std::string longest(kMaxPath - 1, 'x');
  EXPECT_TRUE(CopyPath(&buffer, longest.c_str()));
  EXPECT_EQ(std::string(buffer.text), longest);
  EXPECT_FALSE(CopyPath(&buffer, (longest + "y").c_str()));
  EXPECT_STREQ(buffer.text, "");
}

TEST(PathBuffer, JoinsOnlyWhatFits) {
  PathBuffer buffer;
  ASSERT_TRUE(JoinPath(&buffer, ".", '/', "pics"));
  EXPECT_STREQ(buffer.text, "./pics");
  std::string name(kMaxPath - 3, 'n');  // "./" + name is exactly 259 characters
  EXPECT_TRUE(JoinPath(&buffer, ".", '/', name.c_str()));
  EXPECT_FALSE(JoinPath(&buffer, ".", '/', (name + "n").c_str()));
  EXPECT_STREQ(buffer.text, "");
}
