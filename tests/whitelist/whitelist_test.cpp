#include <gtest/gtest.h>
TEST(Whitelist, Placeholder) {}
