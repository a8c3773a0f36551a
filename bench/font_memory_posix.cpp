// What the fonts for other scripts cost in memory: the resident size an ImGui
// context adds when it loads the launcher's fonts and draws a path in six
// scripts, with the system's faces read in place (as the launcher does) against
// the same faces added the ordinary way, which copies each file into every font
// that merges it. Each way runs in a child process of its own, so neither
// inherits the other's pages.
//
// Usage: build/linux/bin/font_memory_posix
#include <sys/wait.h>
#include <unistd.h>

#include <imgui.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/font_sources.h"
#include "app/window.h"
#include "plat/fonts.h"

namespace {

const char* const kPath = "/home/Łukasz/Dvořák/Ђорђе/Nguyễn/Ελένη/東京 漢字仮名交じり";

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Two fonts with the faces merged behind each, as loadFonts builds uiFont and monoFont.
void addFonts(bool inPlace, const std::vector<plat::FontFace>& faces) {
  ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
  for (int font = 0; font < 2; font++) {
    addEmbeddedTypeface(atlas, 20);
    if (inPlace) {
      mergeFallbackFaces(atlas, faces);
      continue;
    }
    for (const plat::FontFace& face : faces) {
      ImFontConfig cfg;
      cfg.MergeMode = true;
      cfg.FontNo = ImU32(face.index);
      atlas.AddFontFromFileTTF(face.path.c_str(), 0, &cfg);
    }
  }
}

long measure(bool inPlace) {
  const std::vector<plat::FontFace> faces = plat::fallbackFontFaces();
  const long before = residentKb();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(1120, 760);
  io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
  addFonts(inPlace, faces);
  for (int frame = 0; frame < 3; frame++) {
    ImGui::NewFrame();
    ImGui::Begin("bench");
    for (ImFont* font : io.Fonts->Fonts) {
      ImGui::PushFont(font, 20);
      ImGui::TextUnformatted(kPath);
      ImGui::PopFont();
    }
    ImGui::End();
    ImGui::Render();
  }
  const long grown = residentKb() - before;
  ImGui::DestroyContext();
  return grown;
}

long inChild(bool inPlace) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    const long kb = measure(inPlace);
    (void)!write(fds[1], &kb, sizeof kb);
    _exit(0);
  }
  close(fds[1]);
  long kb = -1;
  if (read(fds[0], &kb, sizeof kb) != sizeof kb) kb = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return kb;
}

}  // namespace

int main() {
  for (const plat::FontFace& face : plat::fallbackFontFaces())
    std::printf("face %s #%d\n", face.path.c_str(), face.index);
  const long inPlace = inChild(true), copied = inChild(false);
  std::printf("resident growth: in place %ld kB, copied %ld kB (ratio %.2f)\n", inPlace, copied,
              copied > 0 ? double(inPlace) / double(copied) : 0.0);
  return inPlace >= 0 && copied >= 0 ? 0 : 1;
}
