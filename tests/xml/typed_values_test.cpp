// Typed values of nodes: own-value readers, attribute and named-child
// readers and writers, the default rule, colours, fonts, pens and brushes.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "xml/XmlTyped.h"

using namespace xml;
using xmltest::caught;

namespace {

std::unique_ptr<TXmlNode> valueNode(const std::string& stored) {
  auto n = TXmlNode::CreateOwned(nullptr);
  n->SetRawValue(stored);
  return n;
}

}  // namespace

TEST(TypedValues, OwnValueReaders) {
  struct BoolCase {
    const char* text;
    bool def, expected;
  };
  for (const BoolCase& c : {BoolCase{"yes", false, true}, {"Y", false, true}, {"true", false, true},
                            {"no", true, false}, {"F", true, false}, {"1", true, true}, {"1", false, false},
                            {"on", true, true}, {"", true, true}})
    EXPECT_EQ(valueNode(c.text)->BoolValue(c.def), c.expected) << c.text;

  struct FloatCase {
    const char* text;
    double expected;  // default is -1
  };
  for (const FloatCase& c : {FloatCase{"3,5", 3.5}, {"1,234,5", -1}, {"-2.5E3", -2500}, {"abc", -1},
                             {"  +.5", 0.5}, {"5.", 5}, {"1e-2", 0.01}, {"1e", -1}, {".", -1}, {"", -1},
                             {"3.5 ", -1}, {"1e999", -1}, {"--1", -1}})
    EXPECT_DOUBLE_EQ(valueNode(c.text)->FloatValue(-1), c.expected) << c.text;

  struct IntCase {
    const char* text;
    int64_t int32, int64;  // default is -9
  };
  for (const IntCase& c : {IntCase{"$1F", 31, 31}, {" 42", 42, 42}, {"42 ", -9, -9},
                           {"2147483648", -9, 2147483648LL}, {"-0x10", -16, -16}, {"", -9, -9}})
  {
    EXPECT_EQ(valueNode(c.text)->IntegerValue(-9), c.int32) << c.text;
    EXPECT_EQ(valueNode(c.text)->Int64Value(-9), c.int64) << c.text;
  }

  const double moment = EncodeDateValue(2016, 5, 3) + EncodeTimeValue(12, 34, 56, 789);
  EXPECT_DOUBLE_EQ(valueNode("2016-05-03T12:34:56.789Z")->DateTimeValue(-1), moment);
  EXPECT_EQ(valueNode("2016-5-3")->DateTimeValue(-1), -1);
}

TEST(TypedValues, ChildWritersStoreTheirTextForms) {
  TXmlDocument doc("r");
  TXmlNode* r = doc.RootElement();
  r->WriteBool("b", true);
  r->WriteInteger("i", -42);
  r->WriteInt64("l", 1LL << 40);
  r->WriteFloat("f", 0.5);
  r->WriteFloat("g", 1.0e-3);
  r->WriteFloat("h", 3);
  r->WriteDateTime("d", EncodeDateValue(2016, 5, 3));
  r->WriteDateTime("t", EncodeDateValue(2016, 5, 3) + 0.5);
  r->WriteString("s", "a<&>b");
  r->WriteHex("x", 255, 2);
  r->WriteHex("y", -1, 2);
  r->WriteHex("z", 255, 12);  // capped at the 8 digits a 32-bit value has
  r->WriteHex("w", 5, 0);
  r->WriteColor("red", 0x0000FF);
  r->WriteColor("blue", 0xFF0000);
  r->WriteColor("win", kSysColorWindow);
  EXPECT_EQ(r->WriteToString(),
            "<r><b>True</b><i>-42</i><l>1099511627776</l><f>.5</f><g>1E-3</g><h>3</h>"
            "<d>2016-05-03</d><t>2016-05-03T12:00:00.000Z</t><s>a&lt;&amp;&gt;b</s>"
            "<x>$FF</x><y>$FFFFFFFF</y><z>$000000FF</z><w>$5</w>"
            "<red>$000000FF</red><blue>$00FF0000</blue><win>$00FFFFFF</win></r>");

  // Every value reads back as written.
  EXPECT_TRUE(r->ReadBool("B"));
  EXPECT_EQ(r->ReadInteger("i"), -42);
  EXPECT_EQ(r->ReadInt64("l"), 1LL << 40);
  EXPECT_DOUBLE_EQ(r->ReadFloat("f"), 0.5);
  EXPECT_DOUBLE_EQ(r->ReadFloat("g"), 0.001);
  EXPECT_DOUBLE_EQ(r->ReadDateTime("t"), EncodeDateValue(2016, 5, 3) + 0.5);
  EXPECT_EQ(r->ReadString("s"), "a<&>b");
  EXPECT_EQ(r->ReadInteger("x"), 255);
  EXPECT_EQ(r->ReadInteger("y"), -1);
  EXPECT_EQ(r->ReadInteger("z"), 255);
  EXPECT_EQ(r->ReadColor("red"), 0x0000FF);
  EXPECT_EQ(r->ReadColor("win"), 0xFFFFFF);
}

TEST(TypedValues, DefaultRule) {
  struct Case {
    const char* what;
    std::function<void(TXmlNode&)> write;
  };
  const Case equalToDefault[] = {
      {"integer", [](TXmlNode& n) { n.WriteInteger("v", 0, 0); }},
      {"int64", [](TXmlNode& n) { n.WriteInt64("v", 7, 7); }},
      {"bool", [](TXmlNode& n) { n.WriteBool("v", true, true); }},
      {"float", [](TXmlNode& n) { n.WriteFloat("v", 0.5, 0.5); }},
      {"date", [](TXmlNode& n) { n.WriteDateTime("v", 3, 3); }},
      {"string", [](TXmlNode& n) { n.WriteString("v", "x", "x"); }},
      {"hex", [](TXmlNode& n) { n.WriteHex("v", 16, 4, 16); }},
      {"color", [](TXmlNode& n) { n.WriteColor("v", 0, 0); }},
      {"attr bool", [](TXmlNode& n) { n.WriteAttributeBool("v", false, false); }},
      {"attr int", [](TXmlNode& n) { n.WriteAttributeInteger("v", 1, 1); }},
      {"attr float", [](TXmlNode& n) { n.WriteAttributeFloat("v", 2.5, 2.5); }},
      {"attr string", [](TXmlNode& n) { n.WriteAttributeString("v", "", ""); }},
  };
  for (const Case& c : equalToDefault) {
    SCOPED_TRACE(c.what);
    TXmlDocument doc("r");
    doc.WriteDefaultValues = false;
    c.write(*doc.RootElement());
    EXPECT_TRUE(doc.RootElement()->HasNoContent());
    doc.WriteDefaultValues = true;
    c.write(*doc.RootElement());
    EXPECT_FALSE(doc.RootElement()->HasNoContent());
  }
  TXmlDocument doc("r");
  doc.WriteDefaultValues = false;
  doc.RootElement()->WriteColor("black", kClBlack, kClWhite);
  EXPECT_EQ(doc.RootElement()->ReadString("black"), "$00000000");
}

TEST(TypedValues, AttributeWriters) {
  TXmlDocument doc("r");
  TXmlNode* r = doc.RootElement();
  r->AttributeAddLine("Flag='x'");
  r->WriteAttributeBool("flag", true);
  r->WriteAttributeInteger("n", -3);
  r->WriteAttributeFloat("f", 1234.5);
  r->WriteAttributeString("s", "a\"b");
  EXPECT_EQ(r->AttributePair(0), "Flag=\"True\"");  // replaced in place, name kept
  EXPECT_EQ(r->AttributeCount(), 4);
  EXPECT_EQ(r->AttributeText(), " Flag=\"True\" n=\"-3\" f=\"1234.5\" s=\"a&quot;b\"");
  EXPECT_TRUE(r->ReadAttributeBool("FLAG"));
  EXPECT_EQ(r->ReadAttributeInteger("n"), -3);
  EXPECT_EQ(r->ReadAttributeInt64("n"), -3);
  EXPECT_EQ(r->ReadAttributeString("s"), "a\"b");
}

TEST(TypedValues, ReadersGiveDefaults) {
  TXmlDocument doc;
  doc.ReadFromString("<r b='maybe' n='4x' e='' big='9223372036854775807'>"
                     "<s></s><i>x</i><f>1,5</f><d>bad</d><c>red</c></r>");
  const TXmlNode* r = doc.RootElement();
  EXPECT_TRUE(r->ReadAttributeBool("b", true));
  EXPECT_TRUE(r->ReadAttributeBool("missing", true));
  EXPECT_EQ(r->ReadAttributeInteger("n", 5), 5);
  EXPECT_EQ(r->ReadAttributeInteger("big", 5), 5);
  EXPECT_EQ(r->ReadAttributeInt64("big", 5), INT64_MAX);
  EXPECT_EQ(r->ReadAttributeString("e", "def"), "def");
  EXPECT_EQ(r->ReadAttributeString("missing", "def"), "def");
  EXPECT_EQ(r->ReadString("s", "def"), "");  // a present child, even empty
  EXPECT_EQ(r->ReadString("missing", "def"), "def");
  EXPECT_EQ(r->ReadInteger("i", 8), 8);
  EXPECT_EQ(r->ReadInteger("missing", 8), 8);
  EXPECT_DOUBLE_EQ(r->ReadFloat("f", 0), 1.5);
  EXPECT_EQ(r->ReadDateTime("d", 2), 2);
  EXPECT_EQ(r->ReadColor("missing", 0x123456), 0x123456);
  const XmlError e = caught([&] { r->ReadColor("c", 0); });
  EXPECT_EQ(e.kind(), ErrorKind::Conversion);
  EXPECT_STREQ(e.what(), "'red' is not a valid integer value");
}

TEST(TypedValues, FloatWritersFollowTheDocument) {
  TXmlDocument doc("r");
  doc.FloatPrecision = 3;
  doc.ScientificFloats = false;
  TXmlNode* r = doc.RootElement();
  r->WriteFloat("f", 0.00012345);
  r->WriteAttributeFloat("a", 123456);
  EXPECT_EQ(r->ReadString("f"), ".000123");
  EXPECT_EQ(r->AttributeValue("a"), "123000");

  doc.FloatPrecision = 0;
  EXPECT_STREQ(caught([&] { r->WriteAttributeFloat("a", 1); }).what(), "Significant digits out of range");
  EXPECT_EQ(r->AttributeValue("a"), "123000");
  EXPECT_EQ(caught([&] { r->WriteFloat("new", 1); }).code(), XmlErrc::SignificantDigits);
  ASSERT_NE(r->FindChild("new"), nullptr);
  EXPECT_EQ(r->FindChild("new")->Value(), "");
}

TEST(TypedValues, WriterNamesAreChecked) {
  TXmlDocument doc("r");
  EXPECT_EQ(caught([&] { doc.RootElement()->WriteInteger("a b", 1); }).code(), XmlErrc::IllegalNodeName);
  EXPECT_EQ(doc.RootElement()->ChildCount(), 0);
}

TEST(TypedValues, Font) {
  TXmlDocument doc("r");
  doc.WriteDefaultValues = false;
  TXmlNode* r = doc.RootElement();
  TFont font;
  font.Size = 10;
  font.Bold = true;
  r->WriteFont("font", font);
  EXPECT_EQ(r->WriteToString(), "<r><font><Size>10</Size><Bold>True</Bold></font></r>");
  TFont back;
  back.Italic = true;  // the style is emptied first
  r->ReadFont("FONT", back);
  EXPECT_EQ(back, font);

  // Existing parts keep their place and get the new value.
  TFont other{"\xCB\xCE\xCC\xE5", 0x0000FF, 14, false, true, true, true};
  r->WriteFont("font", other);
  EXPECT_EQ(r->FindChild("font")->ChildAt(0)->Name(), "Size");
  r->ReadFont("font", back);
  EXPECT_EQ(back, (TFont{"\xCB\xCE\xCC\xE5", 0x0000FF, 10, true, true, true, true}));

  r->ReadFont("missing", back);
  EXPECT_EQ(back, TFont{});

  TXmlDocument empty("r");
  empty.WriteDefaultValues = false;
  empty.RootElement()->WriteFont("f", TFont{});
  EXPECT_EQ(empty.RootElement()->WriteToString(), "<r><f/></r>");
}

TEST(TypedValues, PenAndBrushRoundTrip) {
  // Values equal to a writer's default read back as themselves, whether defaults are written or not.
  const TPen pens[] = {TPen{}, TPen{kClBlack, TPenMode::pmBlack, TPenStyle::psSolid, 0},
                       TPen{0x00FF00, TPenMode::pmXor, TPenStyle::psDot, 3}};
  const TBrush brushes[] = {TBrush{}, TBrush{kClBlack, TBrushStyle::bsSolid},
                            TBrush{0x808080, TBrushStyle::bsDiagCross}};
  for (bool defaults : {false, true}) {
    for (const TPen& pen : pens) {
      TXmlDocument doc("r");
      doc.WriteDefaultValues = defaults;
      doc.RootElement()->WritePen("pen", pen);
      TPen back{0x111111, TPenMode::pmNot, TPenStyle::psClear, 9};
      doc.RootElement()->ReadPen("pen", back);
      EXPECT_EQ(back, pen) << doc.RootElement()->WriteToString();
    }
    for (const TBrush& brush : brushes) {
      TXmlDocument doc("r");
      doc.WriteDefaultValues = defaults;
      doc.RootElement()->WriteBrush("brush", brush);
      TBrush back{0x111111, TBrushStyle::bsCross};
      doc.RootElement()->ReadBrush("brush", back);
      EXPECT_EQ(back, brush) << doc.RootElement()->WriteToString();
    }
  }
  TXmlDocument doc("r");
  doc.RootElement()->WritePen("pen", TPen{0x00FF00, TPenMode::pmXor, TPenStyle::psDot, 3});
  EXPECT_EQ(doc.RootElement()->WriteToString(),
            "<r><pen><Color>$0000FF00</Color><Mode>14</Mode><Style>2</Style><Width>3</Width></pen></r>");
  TPen pen;
  TBrush brush;
  doc.RootElement()->ReadPen("missing", pen);
  doc.RootElement()->ReadBrush("missing", brush);
  EXPECT_EQ(pen, (TPen{kClBlack, TPenMode::pmCopy, TPenStyle::psSolid, 1}));
  EXPECT_EQ(brush, (TBrush{kClWhite, TBrushStyle::bsSolid}));
}

TEST(TypedValues, SystemColours) {
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
  EXPECT_EQ(ColorToRGB(kSysColorWindow), 0xFFFFFF);
  EXPECT_EQ(ColorToRGB(kSysColorWindowText), 0x000000);
  EXPECT_EQ(ColorToRGB(kSysColorBtnFace), 0xF0F0F0);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FF)), 0);  // no such system colour
}

TEST(TypedValues, TypedDocumentSurvivesSaveAndLoad) {
  TXmlDocument doc("settings");
  doc.LineLayout = 0;
  doc.FileEncoding = CodecEncoding::Utf16LittleEndian;
  TXmlNode* r = doc.RootElement();
  r->WriteAttributeInteger("version", 3);
  r->WriteFloat("ratio", 2.0 / 3.0);
  r->WriteDateTime("when", EncodeDateValue(2016, 12, 31) + 0.75);
  r->WriteString("title", "\xD6\xD0 & <\xCE\xC4>");
  r->WriteFont("font", TFont{"\xCB\xCE\xCC\xE5", 0xFF, 9, true, false, false, true});
  xmltest::TempFile file("");
  doc.SaveToFile(file.path());

  TXmlDocument back;
  back.LoadFromFile(file.path());
  const TXmlNode* b = back.RootElement();
  EXPECT_EQ(b->ReadAttributeInteger("version"), 3);
  EXPECT_NEAR(b->ReadFloat("ratio"), 2.0 / 3.0, 1e-6);
  EXPECT_EQ(b->ReadDateTime("when"), EncodeDateValue(2016, 12, 31) + 0.75);
  EXPECT_EQ(b->ReadString("title"), "\xD6\xD0 & <\xCE\xC4>");
  TFont font;
  b->ReadFont("font", font);
  EXPECT_EQ(font, (TFont{"\xCB\xCE\xCC\xE5", 0xFF, 9, true, false, false, true}));
}
