#include "optimisation/MetropolisTest.hpp"

#include "classes/RandomGenerator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace vornel {
namespace {

// The plain test: p = exp(-(eNew - eOld) * (1 / T)); a draw r accepts when r * 0.001 <= p.
bool plainAcceptsDraw(double exponent, int draw) {
  return draw * 0.001 <= std::exp(exponent);
}

TEST(Metropolis, WorkedExampleAcceptsDrawsUpTo135) {
  // E_old = 8, E_new = 16 at T = 4: p = exp(-2) ~ 0.1353.
  const MetropolisTest metropolis(4.0);
  EXPECT_FALSE(metropolis.acceptsWithoutDraw(8.0, 16.0));
  int accepted = 0;
  for (int draw = 0; draw < 1000; ++draw)
    accepted += metropolis.acceptsDraw(-2.0, draw) ? 1 : 0;
  EXPECT_EQ(accepted, 136);
  EXPECT_TRUE(metropolis.acceptsDraw(-2.0, 135));
  EXPECT_FALSE(metropolis.acceptsDraw(-2.0, 136));
}

TEST(Metropolis, NoDrawWhenEnergyDoesNotRise) {
  const MetropolisTest metropolis(4.0);
  RandomGenerator rng(11);
  RandomGenerator untouched(11);
  EXPECT_TRUE(metropolis.accepts(8.0, 8.0, rng)); // equal energies: p = 1
  EXPECT_TRUE(metropolis.accepts(8.0, 3.0, rng));
  EXPECT_EQ(rng.next(), untouched.next());
}

TEST(Metropolis, OneDrawWhenEnergyRises) {
  const MetropolisTest metropolis(4.0);
  RandomGenerator rng(11);
  RandomGenerator copy(11);
  const bool accepted = metropolis.accepts(8.0, 16.0, rng);
  EXPECT_EQ(accepted, copy.next() % 1000 <= 135);
  EXPECT_EQ(rng.next(), copy.next());
}

TEST(Metropolis, UnderflowedAcceptanceStillAcceptsDrawZero) {
  const MetropolisTest metropolis(1.0);
  EXPECT_FALSE(metropolis.acceptsWithoutDraw(0.0, 1e6)); // p = exp(-1e6) = 0
  EXPECT_TRUE(metropolis.acceptsDraw(-1e6, 0));
  EXPECT_FALSE(metropolis.acceptsDraw(-1e6, 1));
  EXPECT_TRUE(metropolis.acceptsDraw(-HUGE_VAL, 0));
}

TEST(Metropolis, RiseTooSmallToMoveExpBelowOneAcceptsWithoutDraw) {
  // exp of an exponent of about -1.7e-18 rounds to 1, so p is not below 1.
  const MetropolisTest metropolis(1.0);
  EXPECT_TRUE(metropolis.acceptsWithoutDraw(0.01, std::nextafter(0.01, 1.0)));
  EXPECT_FALSE(metropolis.acceptsWithoutDraw(0.01, 0.01 + 1e-15));
}

TEST(Metropolis, DecisionsEqualThePlainTestAtEveryBoundary) {
  const MetropolisTest metropolis(1.0);
  for (int draw = 1; draw < 1000; ++draw) {
    // Exponents right at log(r * 0.001) and a few ulps either side.
    double exponent = std::log(draw * 0.001);
    for (int step = 0; step < 6; ++step)
      exponent = std::nextafter(exponent, -HUGE_VAL);
    for (int step = 0; step < 12; ++step) {
      ASSERT_EQ(metropolis.acceptsDraw(exponent, draw), plainAcceptsDraw(exponent, draw))
          << "draw " << draw << " exponent " << exponent;
      exponent = std::nextafter(exponent, HUGE_VAL);
    }
  }
  std::mt19937 random(2);
  std::uniform_real_distribution<double> exponents(-12.0, 0.0);
  for (int i = 0; i < 200000; ++i) {
    const double exponent = exponents(random);
    const int draw = static_cast<int>(random() % 1000);
    ASSERT_EQ(metropolis.acceptsDraw(exponent, draw), plainAcceptsDraw(exponent, draw));
  }
}

} // namespace
} // namespace vornel
