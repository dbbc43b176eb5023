// The query read as the lab's options, its canonical form (the cache's key), and the cache.
#include "experiment/api.hpp"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "web/response_cache.hpp"

namespace {

// Each query against the canonical parameters it leaves, or its complaint; the expected texts
// written out from the lab's defaults (J, x = 1, M = 10, three formats, binary128, rounded).
TEST(ReadQuery, TakesTheLabsOptionsByName) {
  struct Case {
    std::string query, canonical, complaint;
  };
  const std::string defaults =
      "function=J&orders=10&formats=binary32,binary64,binary128&arithmetic=binary128"
      "&seeds=rounded&x=1";
  const std::vector<Case> cases = {
      {"", defaults, ""},
      {"&&", defaults, ""},
      {"x=2.5&x=1", defaults, ""},
      {"function=Y&x=%32&orders=7&formats=x87%2cbinary16&arithmetic=binary64&seeds=rounded",
       "function=Y&orders=7&formats=x87,binary16&arithmetic=binary64&seeds=rounded&x=2", ""},
      {"seeds=series&function=I",
       "function=I&orders=10&formats=binary32,binary64,binary128"
       "&arithmetic=binary128&seeds=series&x=1",
       ""},
      {"x=+1", "", "--x needs a number with 0 < X <= 10000, not ' 1'"},
      {"x", "", "--x needs a number with 0 < X <= 10000, not ''"},
      {"orders=100001", "", "--orders needs a whole number from 1 to 100000, not '100001'"},
      {"x=1%", "", "a '%' in the query must start an escape such as %2C, not 'x=1%'"},
      {"x=1%4", "", "a '%' in the query must start an escape such as %2C, not 'x=1%4'"},
      {"%7", "", "a '%' in the query must start an escape such as %2C, not '%7'"},
      {"Function=J", "",
       "unknown parameter 'Function'; the parameters are function, x, orders, formats, "
       "arithmetic and seeds"},
      {"fun%0Ation=J", "",
       "unknown parameter 'fun\\012tion'; the parameters are function, x, orders, formats, "
       "arithmetic and seeds"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.query);
    Experiment experiment;
    EXPECT_EQ(ReadQuery(test.query, experiment), test.complaint);
    if (test.complaint.empty()) {
      EXPECT_EQ(CanonicalQuery(experiment), test.canonical);
    }
  }
}

ApiAnswer AnswerOf(size_t size) {
  return {200, "text/plain", std::make_shared<std::string>(size, 'a')};
}

// A cap of 1000 bytes: entries are counted with twice their key; one larger than an eighth of
// the cap is never kept; the least recently used goes first.
TEST(ResponseCache, KeepsTheMostRecentlyUsedWithinItsCap) {
  ResponseCache cache(1000);
  cache.Keep("a", AnswerOf(100));  // 102 bytes
  cache.Keep("b", AnswerOf(100));
  cache.Keep("big", AnswerOf(200));  // over 125: not kept
  EXPECT_EQ(cache.Find("big"), nullptr);
  EXPECT_EQ(cache.Bytes(), 204u);
  ASSERT_NE(cache.Find("a"), nullptr);  // now a is the most recent
  for (const std::string key : {"c", "d", "e", "f", "g", "h", "i", "j"})
    cache.Keep(key, AnswerOf(100));
  // 10 entries of 102 bytes do not fit in 1000: b, the least recently used, went first.
  EXPECT_EQ(cache.Count(), 9u);
  EXPECT_EQ(cache.Find("b"), nullptr);
  ASSERT_NE(cache.Find("a"), nullptr);
  EXPECT_EQ(cache.Find("a")->body->size(), 100u);
  EXPECT_LE(cache.Bytes(), 1000u);
}

}  // namespace
