// The launcher's own disc picker on a real folder: what it lists and in which
// order, how keyboard, mouse and Escape drive it, what an unreadable folder
// shows, and that it fits a small window at a large scale.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "plat/text.h"
#include "test_files.h"
#include "test_support.h"
#include "ui/disc_picker.h"
#include "ui/ui.h"
#include "ui_harness.h"

namespace fs = std::filesystem;

namespace {

// Names in several scripts, a file that is no disc image and a hidden one.
const char* const kFolders[] = {"Jeux", "Документы"};
const char* const kImages[] = {"Emberfall (USA).iso", "Ελληνικά.BIN", "東京.cue"};
const char* const kOthers[] = {"readme.txt", ".hidden.iso"};

struct PickerFixture : testing::Test {
  TempDir temp;
  std::string root = temp / "discs";
  UiHarness ui{1.0f, ImVec2(1120, 700)};
  App app;
  WidgetTrace trace;

  PickerFixture() {
    for (const char* f : kFolders) fs::create_directories(plat::pathFromUtf8(plat::joinPath(root, f)));
    for (const char* f : kImages) writeFile(plat::joinPath(root, f), std::string(2048, 'x'));
    for (const char* f : kOthers) writeFile(plat::joinPath(root, f), "x");
    writeFile(plat::joinPath(plat::joinPath(root, "Jeux"), "Emberfall (USA).iso"), "x");
    app.stage = NoDisc;
    // A check that starts shows which image it was handed.
    app.pythonExe = standinPath("veyra_child");
    app.lastInputGamepad = true;
    ImGui::GetIO().UserData = &trace;
  }
  ~PickerFixture() override { ImGui::GetIO().UserData = nullptr; }
  void frame() {
    trace.entries.clear();
    ui.frame([&] { drawUi(app); });
  }
  void press(ImGuiKey k) {
    ui.key(k, true);
    frame();
    ui.key(k, false);
    frame();
  }
  void openIn(const std::string& lastDisc) {
    app.settings.disc = lastDisc;
    // A key pressed since counts as keyboard input, and with a keyboard a
    // system that has a file dialog would open it instead.
    app.lastInputGamepad = true;
    app.chooseDiscImage();
    ASSERT_TRUE(app.discPicker.open);
    frame();
    frame();
  }
  // The listed rows as drawn, top to bottom: not the places beside them nor the buttons below.
  static ImRect listRect() {
    for (ImGuiWindow* w : GImGui->Windows)
      if (std::string(w->Name).find("##entries") != std::string::npos) return w->Rect();
    return {};
  }
  static bool listed(const WidgetTrace::Entry& e) {
    return e.clickable && listRect().Contains(ImRect(e.min, e.max).GetCenter());
  }
  std::vector<std::string> rows() const {
    std::vector<std::string> out;
    for (const auto& e : trace.entries)
      if (listed(e)) out.push_back(e.text);
    return out;
  }
  const WidgetTrace::Entry* row(const std::string& text) const {
    for (const auto& e : trace.entries)
      if (listed(e) && e.text == text) return &e;
    return nullptr;
  }
  void clickRow(const std::string& text, int clicks) {
    const WidgetTrace::Entry* r = row(text);
    ASSERT_NE(r, nullptr) << text;
    // A click soon after another at the same place would count as its third.
    for (int i = 0; i < 30; ++i) frame();
    r = row(text);
    ui.mouseAt(ImVec2((r->min.x + r->max.x) / 2, (r->min.y + r->max.y) / 2));
    frame();
    for (int i = 0; i < clicks; ++i) {
      ui.mouseButton(true);
      frame();
      ui.mouseButton(false);
      frame();
    }
  }
  bool focusedRow(const std::string& text) const {
    const WidgetTrace::Entry* r = row(text);
    return r && GImGui->NavId == r->id;
  }
};

}  // namespace

TEST_F(PickerFixture, KeyboardGoesUpAndChoosesAnImage) {
  openIn(plat::joinPath(plat::joinPath(root, "Jeux"), "gone.iso"));
  EXPECT_EQ(app.discPicker.folder, plat::joinPath(root, "Jeux"));
  EXPECT_TRUE(traceShows(trace, "Select your disc image"));
  EXPECT_TRUE(focusedRow("Emberfall (USA).iso"));

  press(ImGuiKey_Backspace);
  frame();
  EXPECT_EQ(app.discPicker.folder, root);
  EXPECT_EQ(rows(), (std::vector<std::string>{"Parent folder", "Jeux", "Документы", "Emberfall (USA).iso",
                                              "Ελληνικά.BIN", "東京.cue"}));
  EXPECT_TRUE(traceShows(trace, "2.0 KB"));
  EXPECT_TRUE(focusedRow("Jeux")) << "the folder we came from";

  press(ImGuiKey_DownArrow);
  press(ImGuiKey_DownArrow);
  EXPECT_TRUE(focusedRow("Emberfall (USA).iso"));
  press(ImGuiKey_Enter);
  frame();
  EXPECT_FALSE(app.discPicker.open);
  EXPECT_FALSE(ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup));
  EXPECT_EQ(app.discCheckImage, plat::joinPath(root, "Emberfall (USA).iso"));
}

TEST_F(PickerFixture, MouseSelectsOnClickAndOpensOnDoubleClick) {
  openIn(plat::joinPath(root, "gone.iso"));
  clickRow("Jeux", 1);
  EXPECT_EQ(app.discPicker.folder, root) << "one click only selects";
  EXPECT_EQ(app.discPicker.selected, "Jeux");
  clickRow("Jeux", 2);
  EXPECT_EQ(app.discPicker.folder, plat::joinPath(root, "Jeux"));
  frame();
  clickRow("Emberfall (USA).iso", 2);
  EXPECT_FALSE(app.discPicker.open);
  EXPECT_EQ(app.discCheckImage, plat::joinPath(plat::joinPath(root, "Jeux"), "Emberfall (USA).iso"));
}

TEST_F(PickerFixture, EscapeClosesOnlyThePicker) {
  // From Maintenance's "Change disc image": Escape leaves the tab where it was.
  app.stage = Ready;
  app.currentTab = 2;
  openIn(plat::joinPath(root, "gone.iso"));
  press(ImGuiKey_Escape);
  frame();
  EXPECT_FALSE(app.discPicker.open);
  EXPECT_FALSE(ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup));
  EXPECT_FALSE(app.discChecking);
  EXPECT_EQ(app.currentTab, 2);
}

TEST_F(PickerFixture, UnreadableFolderSaysSoAndLeadsOut) {
  openIn(plat::joinPath(root, "gone.iso"));
  // A file where a folder should be cannot be listed on any system.
  const std::string notAFolder = plat::joinPath(root, "readme.txt");
  discPickerEnter(app.discPicker, notAFolder);
  frame();
  frame();
  EXPECT_TRUE(traceShows(trace, "This folder cannot be read."));
  EXPECT_FALSE(app.discPicker.error.empty());
  EXPECT_TRUE(traceShows(trace, app.discPicker.error));
  EXPECT_TRUE(focusedRow("Parent folder"));
  press(ImGuiKey_Enter);
  EXPECT_EQ(app.discPicker.folder, root);
  EXPECT_TRUE(app.discPicker.error.empty());
}

TEST_F(PickerFixture, FitsSmallWindowsAtLargeScales) {
  struct Case {
    float scale;
    ImVec2 display;
  };
  for (const Case& c : {Case{1.0f, ImVec2(980, 700)}, Case{1.5f, ImVec2(980, 700)}, Case{1.5f, ImVec2(1120, 700)}}) {
    SCOPED_TRACE(c.scale);
    uiScale = c.scale;
    ImGui::GetIO().DisplaySize = c.display;
    uiFrench = true;  // the longer texts
    openIn(plat::joinPath(root, "gone.iso"));
    frame();
    ImGuiWindow* popup = ImGui::FindWindowByName("##discpicker");
    ASSERT_NE(popup, nullptr);
    const ImRect screen(ImVec2(0, 0), c.display);
    EXPECT_TRUE(screen.Contains(popup->Rect()));
    // Down to the buttons, everything fits without the modal scrolling.
    EXPECT_LE(popup->ContentSize.y + 2 * popup->WindowPadding.y, popup->Size.y + 1);
    for (ImGuiWindow* w : GImGui->Windows)
      if (w->ParentWindow == popup && w->Active) {
        EXPECT_TRUE(popup->InnerRect.Contains(w->Rect())) << w->Name;
      }
    EXPECT_TRUE(traceShows(trace, "Choisir votre image disque"));
    EXPECT_TRUE(traceShows(trace, "2,0 Ko"));
    press(ImGuiKey_Escape);
  }
}

TEST(DiscPickerText, SizesAndNames) {
  struct Size {
    uint64_t bytes;
    const char *english, *french;
  };
  for (const Size& c : {Size{0, "0 bytes", "0 octet"}, Size{1023, "1,023 bytes", "1 023 octets"},
                        Size{2048, "2.0 KB", "2,0 Ko"}, Size{700ull << 20, "700 MB", "700 Mo"},
                        Size{4509715660ull, "4.2 GB", "4,2 Go"}, Size{1048269, "1.0 MB", "1,0 Mo"}}) {
    EXPECT_EQ(sizeText(c.bytes, false), c.english) << c.bytes;
    EXPECT_EQ(sizeText(c.bytes, true), c.french) << c.bytes;
  }
  for (const char* yes : {"a.iso", "A.ISO", "track 01.Bin", "disc.cue"}) EXPECT_TRUE(isDiscImageName(yes)) << yes;
  for (const char* no : {"a.iso.txt", "iso", ".iso", "a.img", "a.cue~"}) EXPECT_FALSE(isDiscImageName(no)) << no;
}
