#include "app/report/JsonWriter.hpp"

#include "app/report/JsonReader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vornel {
namespace {

TEST(JsonWriter, WritesNestedValuesWithCommasInPlace) {
  JsonWriter json;
  json.beginObject();
  json.key("a").array(std::vector<int>{1, 2});
  json.key("b").beginObject().key("c").value(true).key("d").null().endObject();
  json.key("e").value("x");
  json.endObject();
  EXPECT_EQ(json.text(), R"({"a":[1,2],"b":{"c":true,"d":null},"e":"x"})");
}

TEST(JsonWriter, TextCannotCloseTheScriptElementItSitsIn) {
  JsonWriter json;
  json.value("</script><b>\"q\"\\ & \n");
  EXPECT_EQ(json.text().find('<'), std::string::npos);
  EXPECT_EQ(json.text().find('>'), std::string::npos);
  EXPECT_EQ(testing::parseJson(json.text()).text, "</script><b>\"q\"\\ & \n");
}

TEST(JsonWriter, NumbersReadBackExactlyAndNonFiniteOnesAreNull) {
  const std::vector<double> numbers{0.1, -1e-300, 123456789.123456789, 1.0 / 3.0};
  JsonWriter json;
  json.beginArray();
  for (const double number : numbers)
    json.value(number);
  json.value(std::numeric_limits<double>::quiet_NaN());
  json.value(std::numeric_limits<double>::infinity());
  json.endArray();
  const testing::JsonValue back = testing::parseJson(json.text());
  ASSERT_EQ(back.size(), 6u);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    EXPECT_EQ(back[i].number, numbers[i]);
  EXPECT_EQ(back[4].kind, testing::JsonValue::Kind::Null);
  EXPECT_EQ(back[5].kind, testing::JsonValue::Kind::Null);
}

} // namespace
} // namespace vornel
