#include "ui/SkinData.h"
#include "SkinTestData.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace quillory;
using namespace quillory::test;

namespace {

// A window that records the skin notifications it receives.
class TRecordingWindow : public QWidget {
public:
    std::vector<int> Codes;
    std::vector<const TSkinData*> Sources;
    std::vector<int> Params;
    std::vector<std::string>* Order = nullptr;
    std::string Name;

protected:
    bool event(QEvent* e) override {
        if (e->type() == TSkinNotifyEvent::EventType()) {
            auto* n = static_cast<TSkinNotifyEvent*>(e);
            Codes.push_back(n->Code);
            Sources.push_back(n->SkinData);
            Params.push_back(n->Param);
            if (Order)
                Order->push_back(Name + ":" + std::to_string(n->Code));
            return true;
        }
        return QWidget::event(e);
    }
};

TCompressedStoredSkin Container(const std::string& compressed) {
    TCompressedStoredSkin c;
    c.CompressedData = compressed;
    return c;
}

const std::string kTwoButtons = Description(
    {"button:button", "edit:edit", "button:panel", "Label:stdlabel"},
    "[button]\r\npicture=1\r\nskinrect=0,0,40,21\r\n[edit]\r\npicture=0\r\nskinrect=0,0,10,10\r\n"
    "[label]\r\nfontname=Arial\r\nfontheight=14\r\nfontcolor=#112233\r\n");

TEST(SkinDataTest, BuiltInSkinHasEveryEntryTheProgramUses) {
    TSkinData data;
    EXPECT_TRUE(data.Empty());
    const TCompressedStoredSkin builtIn = BuiltInSkin();
    data.SetCompressedStoredSkin(&builtIn);
    ASSERT_FALSE(data.Empty());
    EXPECT_EQ(data.SkinName(), "Quillory Light");
    EXPECT_EQ(data.Picture().size(), QSize(315, 209));
    EXPECT_TRUE(data.InactivePicture().isNull());
    EXPECT_EQ(data.Mask().size(), QSize(315, 209));
    EXPECT_EQ(data.ActivePictures().size(), data.ActivePictureNames().size());
    EXPECT_GE(data.ActivePictures().size(), 4u);
    const std::pair<const char*, const char*> wanted[] = {{"button", "button"},
                                                          {"buttonedit", "edit"},
                                                          {"checkbox", "checkradio"},
                                                          {"radiobox", "checkradio"},
                                                          {"combobox", "combobox"},
                                                          {"edit", "edit"},
                                                          {"memo", "memo"},
                                                          {"groupbox", "panel"},
                                                          {"panel", "panel"},
                                                          {"listview", "listview"},
                                                          {"stdlabel", "stdlabel"},
                                                          {"resizebutton", "button"},
                                                          {"hscrollbar", "scrollbar"},
                                                          {"vscrollbar", "scrollbar"},
                                                          {"bothhscrollbar", "scrollbar"}};
    for (const auto& [name, kind] : wanted) {
        const TSkinEntry* e = data.FindControl(name, kind);
        ASSERT_NE(e, nullptr) << name;
        // Every picture rectangle lies inside the picture it names.
        for (const auto& [key, value] : e->Keys) {
            QRect r;
            if (key.find("rect") != std::string::npos && e->Rect(key, r)) {
                const int index = e->Int("picture", -1);
                ASSERT_GE(index, 0) << name;
                EXPECT_TRUE(
                    data.ActivePictures()[static_cast<std::size_t>(index)].rect().contains(r))
                    << name << " " << key;
            }
        }
    }
    QRect button;
    ASSERT_TRUE(data.FindControl("button")->Rect("skinrect", button));
    EXPECT_EQ(button.height(), 21);
    // Active pictures keep their alpha channel.
    EXPECT_TRUE(data.ActivePictures()[0].hasAlphaChannel());
}

TEST(SkinDataTest, LoadsAPackageMadeByTheAuthoringTool) {
    TCompressedStoredSkin c;
    c.LoadFromSkinFile(SkinSourceDescription());
    ASSERT_FALSE(c.IsEmpty());
    TTempFile file(MakeCompressedSkinFile(c.CompressedData));
    TSkinData data;
    data.LoadCompressedSkinFile(file.Path());
    ASSERT_FALSE(data.Empty());
    EXPECT_EQ(data.PictureName(), "frame.bmp");
    EXPECT_EQ(data.MaskPictureName(), "mask.bmp");
    EXPECT_EQ(data.ActivePictureNames()[0], "buttons.bmp");
    EXPECT_EQ(data.SkinAuthor(), "Quillory");
    EXPECT_EQ(data.FormInfo().Value("clientcolor"), "#F3F5F8");
    ASSERT_EQ(data.Objects().size(), 2u);
    EXPECT_EQ(data.Objects()[0].Kind, "caption");
    EXPECT_EQ(data.Objects()[0].Color("fontcolor", Qt::black), QColor(Qt::white));
}

TEST(SkinDataTest, ReadsNamesPicturesAndEntries) {
    TSkinData data;
    data.LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    ASSERT_FALSE(data.Empty());
    EXPECT_EQ(data.SkinName(), "Test Skin");
    EXPECT_EQ(data.AuthorEmail(), "t@example.org");
    EXPECT_EQ(data.AuthorURL(), "http://example.org");
    EXPECT_EQ(data.SkinComments(), "for tests");
    EXPECT_EQ(data.ActivePictureNames(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_EQ(data.ActivePictures()[1].pixel(0, 0) & 0xFFFFFF, 0x202020u);
    EXPECT_EQ(data.Picture().pixel(5, 5) & 0xFFFFFF, 0x336699u);
    // An entry named twice: the first one counts, whatever the second says.
    ASSERT_NE(data.FindControl("button"), nullptr);
    EXPECT_EQ(data.FindControl("button")->Kind, "button");
    EXPECT_EQ(data.FindControl("button", "panel"), nullptr);
    // Names compare exactly; the entry's own section is found regardless.
    EXPECT_EQ(data.FindControl("label"), nullptr);
    const TSkinEntry* label = data.FindControl("Label", "stdlabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Color("fontcolor", Qt::black), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(label->Font(QFont()).family(), "Arial");
}

TEST(SkinDataTest, NotifiesOwnerFirstThenEveryWindow) {
    std::vector<std::string> order;
    TRecordingWindow owner, other;
    owner.Name = "owner";
    other.Name = "other";
    owner.Order = other.Order = &order;
    auto* data = new TSkinData(&owner);
    data->LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    ASSERT_GE(order.size(), 6u);
    EXPECT_EQ(owner.Codes, (std::vector<int>{1225, 1226, 1227}));
    EXPECT_EQ(other.Codes, (std::vector<int>{1225, 1226, 1227}));
    EXPECT_EQ(order[0], "owner:1225");
    EXPECT_EQ(order[1], "other:1225");
    EXPECT_EQ(owner.Sources[0], data);
    EXPECT_EQ(owner.Params[1], 1000);
}

TEST(SkinDataTest, EmptyContainerChangesNothing) {
    TRecordingWindow w;
    TSkinData data;
    data.LoadCompressedStoredSkin(TCompressedStoredSkin());
    EXPECT_TRUE(w.Codes.empty());
    EXPECT_TRUE(data.Empty());
}

TEST(SkinDataTest, NewerPackageVersionLeavesTheSkinEmpty) {
    TSkinData data;
    data.LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    TRecordingWindow w;
    TSkinPackage v4 = SamplePackage(kTwoButtons);
    v4.Version = 4;
    EXPECT_NO_THROW(data.LoadCompressedStoredSkin(Container(Compressed(v4))));
    EXPECT_TRUE(data.Empty());
    EXPECT_EQ(w.Codes, std::vector<int>{1225});
    EXPECT_TRUE(data.Controls().empty());
    EXPECT_TRUE(data.Picture().isNull());
}

TEST(SkinDataTest, VersionTwoLoadsLikeVersionThree) {
    TSkinPackage v2 = SamplePackage(kTwoButtons);
    v2.Version = 2;
    TSkinData data;
    data.LoadCompressedStoredSkin(Container(Compressed(v2)));
    EXPECT_FALSE(data.Empty());
    EXPECT_EQ(data.ActivePictures().size(), 2u);
    EXPECT_NE(data.FindControl("edit", "edit"), nullptr);
}

TEST(SkinDataTest, FormatFourFileLeavesTheSkinInPlace) {
    TSkinData data;
    const TCompressedStoredSkin builtIn = BuiltInSkin();
    data.SetCompressedStoredSkin(&builtIn);
    TRecordingWindow w;
    TTempFile file(MakeCompressedSkinFile(Compressed(SamplePackage(kTwoButtons)), 4));
    EXPECT_NO_THROW(data.LoadCompressedSkinFile(file.Path()));
    EXPECT_EQ(data.SkinName(), "Quillory Light");
    EXPECT_TRUE(w.Codes.empty());
}

TEST(SkinDataTest, FileErrorsLeaveTheSkinUnchanged) {
    TSkinData data;
    data.LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    const std::string z = Compressed(SamplePackage(kTwoButtons));
    std::string pastEnd = MakeCompressedSkinFile(z);
    pastEnd.resize(pastEnd.size() - 1);
    TTempFile shortFile(pastEnd);
    try {
        data.LoadCompressedSkinFile(shortFile.Path());
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_THROW(data.LoadCompressedSkinFile("/nonexistent/dbskin.dat"), EFileOpenError);
    EXPECT_FALSE(data.Empty());
    EXPECT_EQ(data.SkinName(), "Test Skin");
}

TEST(SkinDataTest, ContentErrorsLeaveEveryWindowUnskinned) {
    TSkinData data;
    data.LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    TTempFile badZlib(MakeCompressedSkinFile("this is not zlib data"));
    try {
        data.LoadCompressedSkinFile(badZlib.Path());
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "compression error");
    }
    EXPECT_TRUE(data.Empty());
    EXPECT_TRUE(data.Controls().empty());

    data.LoadCompressedStoredSkin(Container(Compressed(SamplePackage(kTwoButtons))));
    std::string raw = WriteSkinPackage(SamplePackage(kTwoButtons));
    raw.resize(300); // inside the first picture
    TRecordingWindow w;
    EXPECT_THROW(data.LoadCompressedStoredSkin(Container(DeflateSkin(raw))), ESkinReadError);
    EXPECT_TRUE(data.Empty());
    EXPECT_EQ(w.Codes, std::vector<int>{1225});

    TSkinPackage damaged = SamplePackage(kTwoButtons);
    damaged.ActivePictures[1][0] = 'X';
    EXPECT_THROW(data.LoadCompressedStoredSkin(Container(Compressed(damaged))), EInvalidBitmap);
    EXPECT_TRUE(data.Empty());
}

TEST(SkinEntryTest, ParsesRectanglesColoursAndFonts) {
    TSkinEntry e;
    e.Keys = {{"skinrect", "1,2,41,23"}, {"bad", "1,2,3"},      {"empty", "5,5,5,9"},
              {"margins", "4, 5,6 ,7"},  {"c", "#0a0B0c"},      {"c2", "red"},
              {"fontname", "Arial"},     {"fontheight", "-15"}, {"fontstyle", "bold,italic"}};
    QRect r;
    ASSERT_TRUE(e.Rect("skinrect", r));
    EXPECT_EQ(r, QRect(1, 2, 40, 21));
    EXPECT_FALSE(e.Rect("bad", r));
    EXPECT_FALSE(e.Rect("empty", r));
    EXPECT_FALSE(e.Rect("missing", r));
    EXPECT_EQ(e.Margins("margins"), QMargins(4, 5, 6, 7));
    EXPECT_EQ(e.Color("c", Qt::black), QColor(10, 11, 12));
    EXPECT_EQ(e.Color("c2", Qt::blue), QColor(Qt::blue));
    const QFont f = e.Font(QFont("Serif"));
    EXPECT_EQ(f.pixelSize(), 15);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.italic());
    // A positive height is the cell height: ascent + descent near it.
    const QFont cell = FontFromHeight("Arial", 20);
    const QFontMetrics fm(cell);
    EXPECT_NEAR(fm.ascent() + fm.descent(), 20, 2);
}

} // namespace
