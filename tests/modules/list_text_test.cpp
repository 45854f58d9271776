#include "modules/list_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "modules/controller_names.h"

namespace ov::test {
namespace {

std::vector<ListText::Item> Listed(const ListText& list) {
  std::vector<ListText::Item> items;
  list.ForEach([&items](const ListText::Item& item) {
    items.push_back(item);
    return true;
  });
  return items;
}

TEST(ParseLeadingInteger, ReadsLikeStoredNumbers) {
  std::size_t end = 0;
  EXPECT_EQ(ParseLeadingInteger("  -12x", &end), -12);
  EXPECT_EQ(end, 5u);
  EXPECT_EQ(ParseLeadingInteger("+7"), 7);
  EXPECT_EQ(ParseLeadingInteger("x", &end), 0);
  EXPECT_EQ(end, 0u);
  EXPECT_EQ(ParseLeadingInteger(""), 0);
  EXPECT_EQ(ParseLeadingInteger("99999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseLeadingInteger("-99999999999"), std::numeric_limits<int32_t>::min());
}

TEST(ListText, RangesCountBothEndsAndLabelEachNumber) {
  const ListText channels("range 1,200");
  EXPECT_EQ(channels.Count(), 200);
  EXPECT_EQ(channels.ItemAt(0), (ListText::Item{"1", 1}));
  EXPECT_EQ(channels.ItemAt(199), (ListText::Item{"200", 200}));
  EXPECT_EQ(ListText("range 0,127").Count(), 128);

  // Counted in 64 bits: the full 32-bit range has 2^32 items.
  const ListText full("range -2147483648,2147483647");
  EXPECT_EQ(full.Count(), int64_t{1} << 32);
  EXPECT_EQ(full.ItemAt(full.Count() - 1).value, std::numeric_limits<int32_t>::max());
  EXPECT_DOUBLE_EQ(full.PositionOf(std::numeric_limits<int32_t>::max()), 1.0);
  EXPECT_EQ(full.ValueAt(1.0), std::numeric_limits<int32_t>::max());

  // A range whose maximum is below its minimum runs downwards.
  const ListText down("range 3,1");
  EXPECT_EQ(Listed(down), (std::vector<ListText::Item>{{"3", 3}, {"2", 2}, {"1", 1}}));
  EXPECT_TRUE(down.Contains(2));
  EXPECT_FALSE(down.Contains(4));
}

TEST(ListText, ItemsTakeExplicitValuesOrCountOnFromThePrevious) {
  const ListText channel("All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
  const std::vector<ListText::Item> items = Listed(channel);
  ASSERT_EQ(items.size(), 17u);
  EXPECT_EQ(channel.Count(), 17);
  EXPECT_EQ(items[0], (ListText::Item{"All", -1}));
  EXPECT_EQ(items[1], (ListText::Item{"1", 0}));
  EXPECT_EQ(items[16], (ListText::Item{"16", 15}));

  EXPECT_EQ(Listed(ListText("None=10,0=0,1,2")),
            (std::vector<ListText::Item>{{"None", 10}, {"0", 0}, {"1", 1}, {"2", 2}}));
  EXPECT_EQ(Listed(ListText("Exponential=1,Linear,Decibel,Decibel (old)=0")),
            (std::vector<ListText::Item>{
                {"Exponential", 1}, {"Linear", 2}, {"Decibel", 3}, {"Decibel (old)", 0}}));
  // An "=" in first place is part of the label.
  EXPECT_EQ(Listed(ListText("=5,x")), (std::vector<ListText::Item>{{"=5", 0}, {"x", 1}}));
}

TEST(ListText, LabelsAreTrimmed) {
  const ListText response(
      "dB VU,dB PPM,dB Peak,dB HeadRoom, Volts DC (Fast), Volts DC Average, Volts RMS");
  EXPECT_EQ(response.ItemAt(4), (ListText::Item{"Volts DC (Fast)", 4}));
  EXPECT_EQ(ListText(" Low = 3 ,\tHigh\t").ItemAt(1), (ListText::Item{"High", 4}));
}

TEST(ListText, CountKeepsItsFormulaButReadsStayOnTheListedItems) {
  // A trailing comma lists no item, yet counts: positions use the count.
  const ListText trailing("Off,On,");
  EXPECT_EQ(Listed(trailing).size(), 2u);
  EXPECT_EQ(trailing.Count(), 3);
  EXPECT_EQ(trailing.ItemAt(2), (ListText::Item{"On", 1}));
  EXPECT_EQ(trailing.ValueAt(1.0), 1);
  EXPECT_DOUBLE_EQ(trailing.PositionOf(1), 0.5);

  // An empty text counts one item and lists none.
  const ListText empty("");
  EXPECT_EQ(empty.Count(), 1);
  EXPECT_TRUE(Listed(empty).empty());
  EXPECT_EQ(empty.ItemAt(0), (ListText::Item{"", 0}));
  EXPECT_EQ(empty.ValueAt(0.5), 0);
  EXPECT_EQ(empty.Validate(3), 0);
}

TEST(ListText, EnumerationOperations) {
  const ListText rates("1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40");
  EXPECT_EQ(rates.Validate(7), 1);
  EXPECT_EQ(rates.Validate(20), 20);
  EXPECT_TRUE(rates.Contains(40));
  EXPECT_FALSE(rates.Contains(2));

  const ListText five("a,b,c,d,e");
  EXPECT_DOUBLE_EQ(five.PositionOf(2), 0.5);
  EXPECT_DOUBLE_EQ(five.PositionOf(9), 0.0);  // not an item
  EXPECT_EQ(five.ValueAt(0.99), 4);
  EXPECT_EQ(five.ValueAt(1.0), 4);
  EXPECT_EQ(five.ValueAt(0.2), 1);
  EXPECT_EQ(five.ValueAt(-0.5), 0);
  EXPECT_EQ(five.ValueAt(std::nan("")), 0);
  EXPECT_DOUBLE_EQ(ListText("only").PositionOf(0), 0.0);  // count below 2
}

TEST(ListText, AutoListNamesConnectedSparePlugs) {
  const std::vector<std::string> connected = {"Saw", "Noise"};
  EXPECT_EQ(Listed(ListText("{AUTO}", connected)),
            (std::vector<ListText::Item>{{"Saw", 0}, {"Noise", 1}}));
  EXPECT_EQ(Listed(ListText("{AUTO}")), (std::vector<ListText::Item>{{"<none>", 0}}));
  // Only the exact text is automatic.
  EXPECT_EQ(Listed(ListText("{AUTO},x", connected)).front().label, "{AUTO}");
}

TEST(ListText, AssigningValuesKeepsValuesAndPositionsWithinTheRoomReserved) {
  ListText engine("");
  engine.ReserveItems(4);
  for (const char* text : {"Off,Slow=5,Fast", ",a,b,", "range 3,-2", "{AUTO}", ""}) {
    const ListText full(text);
    ASSERT_TRUE(engine.AssignValues(text)) << text;
    EXPECT_EQ(engine.Count(), full.Count()) << text;
    for (const double position : {0.0, 0.3, 0.5, 0.99, 1.0}) {
      EXPECT_EQ(engine.ValueAt(position), full.ValueAt(position)) << text << " " << position;
    }
    EXPECT_EQ(engine.PositionOf(full.ValueAt(1.0)), full.PositionOf(full.ValueAt(1.0))) << text;
  }
  // Five items do not fit four: the list stays as it was.
  ASSERT_TRUE(engine.AssignValues("a,b=7"));
  EXPECT_FALSE(engine.AssignValues("a,b,c,d,e"));
  EXPECT_EQ(engine.ValueAt(1.0), 7);
  EXPECT_TRUE(engine.AssignValues("range 0,100000"));  // a range holds no items
  EXPECT_EQ(engine.ValueAt(1.0), 100000);
}

TEST(ControllerNames, LabelsFromTheControllerListElseThreeDigitNumbers) {
  const auto& names = ControllerNames();
  EXPECT_EQ(names[0], "0 - Bank Select");
  EXPECT_EQ(names[3], "3");
  EXPECT_EQ(names[7], "7 - Volume");
  EXPECT_EQ(names[33], "33 - Mod Wheel LSB");
  // "98/99 - NRPN" carries 99, so 98 keeps its number; likewise 100.
  EXPECT_EQ(names[98], " 98");
  EXPECT_EQ(names[99], "98/99 - NRPN");
  EXPECT_EQ(names[100], "100");
  EXPECT_EQ(names[101], "100/101 - RPN");
  EXPECT_EQ(names[102], "102");
  EXPECT_EQ(names[127], "127 - Polyphonic");
  for (const std::string& name : names) EXPECT_NE(name, "<none>");
  EXPECT_EQ(&ControllerNames(), &names);  // built once
}

}  // namespace
}  // namespace ov::test
