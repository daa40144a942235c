#include "workspace/CText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

namespace tarsel {
namespace {

// Runs the body under a German locale, as a Qt application started with LC_ALL=de_DE.UTF-8 does.
class GermanLocale : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
            GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
        }
        // Make sure the trap is armed: the C library itself now writes a decimal comma.
        char plain[32];
        std::snprintf(plain, sizeof plain, "%f", 1.5);
        ASSERT_STREQ(plain, "1,500000");
    }
    void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

    std::string previous_;
};

TEST_F(GermanLocale, ConversionsKeepTheDecimalPoint) {
    EXPECT_EQ(CFormat("%f", 1.5), "1.500000");
    EXPECT_EQ(CFormat("Cube Center %f, %f, %f", 1.25, -2.5, 0.0),
              "Cube Center 1.250000, -2.500000, 0.000000");
    double a = 0, b = 0;
    EXPECT_EQ(CScan("1.5,2.75", "%lf,%lf", &a, &b), 2);
    EXPECT_DOUBLE_EQ(a, 1.5);
    EXPECT_DOUBLE_EQ(b, 2.75);
    EXPECT_DOUBLE_EQ(CAtof("2.25"), 2.25);
    EXPECT_DOUBLE_EQ(CAtof(" -3.5e1x"), -35.0);
}

TEST(CText, AtolRules) {
    EXPECT_EQ(CAtol("  -12abc"), -12);
    EXPECT_EQ(CAtol("abc"), 0);
    EXPECT_EQ(CAtol(""), 0);
    EXPECT_EQ(CAtol("007"), 7);
    EXPECT_EQ(CAtol("+9"), 9);
    EXPECT_EQ(CAtol("1.9"), 1);
    EXPECT_EQ(CAtol("99999999999"), 2147483647);
    EXPECT_EQ(CAtol("-99999999999"), -2147483647 - 1);
}

TEST(CText, AtofWithoutNumberIsZero) {
    EXPECT_EQ(CAtof(""), 0.0);
    EXPECT_EQ(CAtof("abc"), 0.0);
    EXPECT_DOUBLE_EQ(CAtof("  0.5 mS"), 0.5);
}

TEST(CText, FormatsTextOfAnyLength) {
    const std::string path(1000, 'a');
    EXPECT_EQ(CFormat("Load %s", path.c_str()), "Load " + path);
}

}  // namespace
}  // namespace tarsel
