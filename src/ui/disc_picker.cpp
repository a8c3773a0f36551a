// The launcher's own disc-image picker: the folder listing and what a row does
// when chosen, and its modal drawn in the launcher's look.
#include "ui/disc_picker.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/app.h"
#include "plat/text.h"
#include "ui/palette.h"
#include "ui/style.h"
#include "ui/views.h"

namespace {

// The picker's measures at scale 1 and its colours.
struct PickerMeasures {
  float maxWidth = 900, maxHeight = 620, edge = 40;  // the modal keeps `edge` from the window's sides
  float padX = 28, padY = 24;
  float pathSize = 15;
  float sideWidth = 230, sideMaxShare = 0.32f, sideGap = 16;
  float rowHeight = 38, rowPadX = 12, iconSize = 18, iconGap = 12, nameSize = 18, sizeSize = 16, sizeGap = 16;
  float placeSize = 17;
  float emptySize = 17;
  float buttonW = 160, buttonH = 44, buttonFont = 20, buttonGap = 12;
  float iconLine = 1.5f;
};
constexpr PickerMeasures kM;

constexpr const char* kPopup = "##discpicker";
constexpr const char* kParentRow = "..";

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// Digits in groups of three: "1,023" in English, "1 023" in French.
std::string grouped(uint64_t n, bool french) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += french ? ' ' : ',';
    out += digits[i];
  }
  return out;
}

std::string placeLabel(const plat::Place& place) {
  switch (place.kind) {
    case plat::PlaceKind::Home:
      return tr("Home", "Dossier personnel");
    case plat::PlaceKind::Downloads:
      return tr("Downloads", "Téléchargements");
    case plat::PlaceKind::Desktop:
      return tr("Desktop", "Bureau");
    case plat::PlaceKind::Drive: {
      std::string root = place.path;
      while (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
      return place.label.empty() ? root : root + "  " + place.label;
    }
    case plat::PlaceKind::Removable:
      break;
  }
  return place.label;
}

// The end of a path that fits `width`, led by an ellipsis when cut: the
// folder's own name matters more than where it hangs.
std::string tailThatFits(const std::string& text, float px, float width) {
  ImFont* f = textFont();
  if (f->CalcTextSizeA(px, FLT_MAX, 0, text.c_str()).x <= width) return text;
  std::string ellipsis = "…";
  size_t start = 0;
  while (start < text.size()) {
    ++start;
    while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
    std::string tail = ellipsis + text.substr(start);
    if (f->CalcTextSizeA(px, FLT_MAX, 0, tail.c_str()).x <= width) return tail;
  }
  return ellipsis;
}

enum class Icon { Folder, Disc, Parent, Drive };

void drawIcon(ImDrawList* dl, ImVec2 min, float size, Icon icon) {
  const float s = uiScale, line = kM.iconLine * s;
  const ImVec2 c(min.x + size / 2, min.y + size / 2);
  switch (icon) {
    case Icon::Folder: {
      const ImU32 col = packColour(kAccentViolet, 0.9f);
      const float top = min.y + size * 0.2f;
      dl->AddRectFilled(ImVec2(min.x, top), ImVec2(min.x + size * 0.45f, top + size * 0.2f), col, 2 * s);
      dl->AddRectFilled(ImVec2(min.x, top + size * 0.12f), ImVec2(min.x + size, min.y + size * 0.85f), col, 2 * s);
      break;
    }
    case Icon::Disc:
      dl->AddCircle(c, size * 0.45f, packColour(kAccentBlue, 1), 0, line);
      dl->AddCircleFilled(c, size * 0.14f, packColour(kAccentBlue, 1));
      break;
    case Icon::Parent: {
      const ImU32 col = packColour(kSoftText, 1);
      const ImVec2 arrow[] = {ImVec2(min.x + size * 0.2f, min.y + size * 0.5f), ImVec2(c.x, min.y + size * 0.15f),
                              ImVec2(min.x + size * 0.8f, min.y + size * 0.5f)};
      dl->AddPolyline(arrow, 3, col, 0, line);
      dl->AddLine(ImVec2(c.x, min.y + size * 0.15f), ImVec2(c.x, min.y + size * 0.9f), col, line);
      break;
    }
    case Icon::Drive:
      dl->AddRect(ImVec2(min.x, min.y + size * 0.25f), ImVec2(min.x + size, min.y + size * 0.8f),
                  packColour(kAccentBlue, 1), 3 * s, 0, line);
      dl->AddCircleFilled(ImVec2(min.x + size * 0.78f, min.y + size * 0.53f), size * 0.08f,
                          packColour(kAccentBlue, 1));
      break;
  }
}

// One selectable row with its icon, name and (for a file) size. True when it
// asks to be opened: a double click, or Enter or the gamepad's A on it; a
// single click only selects it, unless `clickOpens` (a place, which is only
// ever gone into).
bool row(DiscPicker& picker, const std::string& id, const std::string& name, const std::string& size, Icon icon,
         bool selected, float textSize, bool clickOpens = false) {
  const float s = uiScale;
  ImGuiContext& g = *GImGui;
  const std::string label = "##" + id;
  const bool pressed = ImGui::Selectable(label.c_str(), selected, ImGuiSelectableFlags_AllowDoubleClick,
                                         ImVec2(0, kM.rowHeight * s));
  if (picker.focusPending && id == picker.focusName) {
    // A popup that appears focuses its first item a frame later; the row is
    // given the focus until it holds it. The cursor shows, so Enter (or the
    // gamepad's A) opens the row at once.
    if (g.NavId == ImGui::GetItemID() && !g.CurrentWindow->RootWindow->Appearing) {
      picker.focusPending = false;
    } else {
      ImGui::SetFocusID(ImGui::GetItemID(), g.CurrentWindow);
      g.NavIdIsAlive = true;
      g.NavCursorVisible = true;
      ImGui::ScrollToItem(ImGuiScrollFlags_KeepVisibleEdgeY);
    }
  }
  if (ImGui::IsItemFocused() && g.NavCursorVisible) picker.selected = id;
  const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const float iconPx = kM.iconSize * s;
  drawIcon(dl, ImVec2(a.x + kM.rowPadX * s, (a.y + b.y - iconPx) / 2), iconPx, icon);

  ImFont* f = textFont();
  float nameRight = b.x - kM.rowPadX * s;
  if (!size.empty()) {
    const float px = kM.sizeSize * s;
    const ImVec2 ts = f->CalcTextSizeA(px, FLT_MAX, 0, size.c_str());
    dl->AddText(f, px, ImVec2(nameRight - ts.x, (a.y + b.y - ts.y) / 2), packColour(kSoftText, 1), size.c_str());
    nameRight -= ts.x + kM.sizeGap * s;
  }
  const float px = textSize * s;
  const ImVec2 ns = f->CalcTextSizeA(px, FLT_MAX, 0, name.c_str());
  const ImVec2 namePos(a.x + (kM.rowPadX + kM.iconGap) * s + iconPx, (a.y + b.y - ns.y) / 2);
  ImGui::PushFont(f, px);
  ImGui::PushStyleColor(ImGuiCol_Text, colourVec(kText, 1));
  ImGui::RenderTextEllipsis(dl, namePos, ImVec2(nameRight, b.y), nameRight, name.c_str(), nullptr, &ns);
  ImGui::PopStyleColor();
  ImGui::PopFont();

  if (auto* trace = static_cast<WidgetTrace*>(ImGui::GetIO().UserData)) {
    WidgetTrace::Entry e;
    e.text = name;
    e.clickable = true;
    e.selected = selected;
    e.pressed = pressed;
    e.id = ImGui::GetItemID();
    e.min = a;
    e.max = b;
    trace->entries.push_back(e);
    if (!size.empty()) trace->entries.push_back({size});
  }
  if (!pressed) return false;
  const ImGuiIO& io = ImGui::GetIO();
  if (!clickOpens && io.MouseReleased[0] && !ImGui::IsMouseDoubleClicked(0)) {
    picker.selected = id;
    return false;
  }
  return true;
}

// What a row asked for this frame, done after the listing is drawn.
struct RowAction {
  enum { None, Enter, Choose } kind = None;
  std::string path, focus;
};

RowAction openRow(const DiscPicker& picker, const std::string& id) {
  if (id == kParentRow) {
    const std::string parent = plat::parentFolder(picker.folder);
    return {RowAction::Enter, parent, plat::pathToUtf8(plat::pathFromUtf8(picker.folder).filename())};
  }
  for (const plat::FolderEntry& e : picker.entries)
    if (e.name == id)
      return {e.folder ? RowAction::Enter : RowAction::Choose, plat::joinPath(picker.folder, e.name), {}};
  return {};
}

void apply(App& app, const RowAction& action) {
  if (action.kind == RowAction::Enter && !action.path.empty()) discPickerEnter(app.discPicker, action.path, action.focus);
  if (action.kind == RowAction::Choose) discPickerChoose(app, action.path);
}

}  // namespace

bool isDiscImageName(const std::string& name) {
  if (name.size() < 5) return false;
  const std::string end = lowerAscii(name.substr(name.size() - 4));
  return end == ".iso" || end == ".bin" || end == ".cue";
}

std::string sizeText(uint64_t bytes, bool french) {
  if (bytes < 1024)
    return grouped(bytes, french) + (french ? (bytes < 2 ? " octet" : " octets") : (bytes == 1 ? " byte" : " bytes"));
  static const char* const units[2][4] = {{"KB", "MB", "GB", "TB"}, {"Ko", "Mo", "Go", "To"}};
  double v = double(bytes) / 1024;
  int unit = 0;
  while (v >= 1024 && unit < 3) {
    v /= 1024;
    ++unit;
  }
  // One decimal while it tells something; a value that rounds up to the next unit moves there.
  char number[32];
  if (v < 9.95) {
    std::snprintf(number, sizeof number, "%.1f", v);
  } else if (std::llround(v) >= 1024 && unit < 3) {
    std::snprintf(number, sizeof number, "%.1f", 1.0);
    ++unit;
  } else {
    return grouped(uint64_t(std::llround(v)), french) + " " + units[french][unit];
  }
  std::string text = number;
  if (french) std::replace(text.begin(), text.end(), '.', ',');
  return text + " " + units[french][unit];
}

std::string discPickerStartFolder(const App& app) {
  for (const std::string& disc : {app.discCheckImage, app.settings.disc}) {
    // The disc may have gone, and its folder with it: the nearest folder still there.
    for (std::string folder = plat::parentFolder(disc); !folder.empty(); folder = plat::parentFolder(folder)) {
      std::vector<plat::FolderEntry> entries;
      std::string error;
      if (plat::listFolder(folder, entries, error)) return folder;
    }
  }
  for (const plat::Place& p : app.discPicker.places)
    if (p.kind == plat::PlaceKind::Home) return p.path;
  return app.discPicker.places.empty() ? plat::exeDir() : app.discPicker.places.front().path;
}

void discPickerEnter(DiscPicker& picker, const std::string& folder, const std::string& focusName) {
  picker.folder = folder;
  picker.error.clear();
  std::vector<plat::FolderEntry> all;
  picker.entries.clear();
  if (!plat::listFolder(folder, all, picker.error)) {
    picker.focusName = plat::parentFolder(folder).empty() ? std::string() : kParentRow;
  } else {
    for (plat::FolderEntry& e : all)
      if (!e.hidden && (e.folder || isDiscImageName(e.name))) picker.entries.push_back(std::move(e));
    bool found = false;
    for (const plat::FolderEntry& e : picker.entries) found = found || e.name == focusName;
    picker.focusName = found ? focusName
                       : !picker.entries.empty()           ? picker.entries.front().name
                       : plat::parentFolder(folder).empty() ? std::string()
                                                            : kParentRow;
  }
  picker.selected = picker.focusName;
  picker.focusPending = !picker.focusName.empty();
}

void openDiscPicker(App& app) {
  DiscPicker& picker = app.discPicker;
  picker.places = plat::discPlaces();
  discPickerEnter(picker, discPickerStartFolder(app));
  picker.open = true;
}

void closeDiscPicker(App& app) { app.discPicker.open = false; }

void discPickerChoose(App& app, const std::string& path) {
  closeDiscPicker(app);
  app.startDiscCheck(path);
}

void drawDiscPicker(App& app) {
  DiscPicker& picker = app.discPicker;
  const float s = uiScale;
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  const float W = vp->Size.x, H = vp->Size.y;
  if (picker.open && !ImGui::IsPopupOpen(kPopup)) ImGui::OpenPopup(kPopup);

  // Rectangles first: the modal, its body between the heading and the buttons, the side column.
  const ImVec2 size(std::min(kM.maxWidth * s, W - 2 * kM.edge * s), std::min(kM.maxHeight * s, H - 2 * kM.edge * s));
  const float innerW = size.x - 2 * kM.padX * s, innerH = size.y - 2 * kM.padY * s;
  const float spacing = ImGui::GetStyle().ItemSpacing.y;
  const float headingH = spacedTextSize("Ag", 30, 0.5f).y;
  const float pathH = textFont()->CalcTextSizeA(kM.pathSize * s, FLT_MAX, 0, "Ag").y;
  const float bodyH = std::max(kM.rowHeight * s, innerH - headingH - pathH - kM.buttonH * s - 3 * spacing);
  const float sideW = std::min(kM.sideWidth * s, innerW * kM.sideMaxShare);
  const float listW = innerW - sideW - kM.sideGap * s;

  ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(size);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(kM.padX * s, kM.padY * s));
  const bool shown =
      ImGui::BeginPopupModal(kPopup, nullptr, ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                                  ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                                                  ImGuiWindowFlags_NoSavedSettings);
  ImGui::PopStyleVar();
  if (!shown) return;
  if (!picker.open) {
    ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
    return;
  }

  heading(tr("Select your disc image", "Choisir votre image disque"), kText);
  styledText(tailThatFits(picker.folder, kM.pathSize * s, innerW), kM.pathSize, kDimText);

  RowAction action;
  ImGui::BeginChild("##places", ImVec2(sideW, bodyH), ImGuiChildFlags_NavFlattened);
  for (size_t i = 0; i < picker.places.size(); ++i) {
    const plat::Place& p = picker.places[i];
    const bool named = p.kind != plat::PlaceKind::Removable && p.kind != plat::PlaceKind::Drive;
    if (row(picker, "place" + std::to_string(i), placeLabel(p), {}, named ? Icon::Folder : Icon::Drive,
            p.path == picker.folder, kM.placeSize, true))
      action = {RowAction::Enter, p.path, {}};
  }
  ImGui::EndChild();

  ImGui::SameLine(0, kM.sideGap * s);
  ImGui::BeginChild("##entries", ImVec2(listW, bodyH), ImGuiChildFlags_NavFlattened);
  if (!plat::parentFolder(picker.folder).empty() &&
      row(picker, kParentRow, tr("Parent folder", "Dossier parent"), {}, Icon::Parent, picker.selected == kParentRow,
          kM.nameSize))
    action = openRow(picker, kParentRow);
  if (!picker.error.empty()) {
    gap(4);
    notice(tr("This folder cannot be read.", "Ce dossier ne peut pas être lu."), picker.error, kAmber,
           listW - ImGui::GetStyle().ScrollbarSize);
  } else if (picker.entries.empty()) {
    gap(4);
    styledText(tr("No folders or disc images here.", "Aucun dossier ni image disque ici."), kM.emptySize,
               kSoftText);
  }
  for (const plat::FolderEntry& e : picker.entries)
    if (row(picker, e.name, e.name, e.folder ? std::string() : sizeText(e.size, uiFrench),
            e.folder ? Icon::Folder : Icon::Disc, picker.selected == e.name, kM.nameSize))
      action = openRow(picker, e.name);
  ImGui::EndChild();

  // The buttons sit at the right, the way out before the way in.
  const float buttonsW = 2 * kM.buttonW * s + kM.buttonGap * s;
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + innerW - buttonsW);
  if (button(tr("Cancel###pickercancel", "Annuler###pickercancel"), ImVec2(kM.buttonW * s, kM.buttonH * s),
             Secondary, true, kM.buttonFont))
    closeDiscPicker(app);
  ImGui::SameLine(0, kM.buttonGap * s);
  if (button(tr("Open###pickeropen", "Ouvrir###pickeropen"), ImVec2(kM.buttonW * s, kM.buttonH * s), Primary,
             !picker.selected.empty() && openRow(picker, picker.selected).kind != RowAction::None, kM.buttonFont))
    action = openRow(picker, picker.selected);

  const bool focused = ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows);
  if (focused && ImGui::IsKeyPressed(ImGuiKey_Backspace, true) && !plat::parentFolder(picker.folder).empty())
    action = openRow(picker, kParentRow);
  if (ImGui::IsKeyPressed(ImGuiKey_Escape, false)) closeDiscPicker(app);

  apply(app, action);
  if (!picker.open) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}
