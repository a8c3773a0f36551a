// TEST AND DEMO FIXTURE ONLY: the kit\python\python.exe of the Windows demo
// release when it runs under Wine on a Linux machine, where no Windows Python
// exists. A real Windows release ships a real interpreter in kit\ instead.
//
// It runs nothing itself: it sends its command line, working folder, the
// VEYRA_* variables (the stand-in pipeline's settings) and its token to
// python_bridge.py on 127.0.0.1, which runs the host's python3 with the same
// arguments. What the script writes comes back byte for byte to this
// program's standard output and error, and the script's exit code becomes
// this program's. The bridge only ever sees the connection: when this
// program is ended (the launcher's job object on Stop or at exit), the
// connection drops and the bridge ends the script's whole process group.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What the fixture exits with when it cannot reach its bridge; the launcher
// shows it like any other interpreter failure.
constexpr int bridgeFailureCode = 9009;
constexpr const wchar_t* bridgeVariable = L"VEYRA_PY_BRIDGE";
constexpr const wchar_t* forwardedPrefix = L"VEYRA_";

std::string utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

void writeAll(HANDLE h, const char* data, size_t size) {
  while (size > 0) {
    DWORD wrote = 0;
    // A reader that went away is the launcher's business, as with a real
    // interpreter; keep the connection drained regardless.
    if (!WriteFile(h, data, DWORD(size), &wrote, nullptr) || wrote == 0) return;
    data += wrote;
    size -= wrote;
  }
}

[[noreturn]] void giveUp(const std::string& why) {
  std::string text = "python.exe (Wine test bridge stand-in): " + why + "\n";
  writeAll(GetStdHandle(STD_ERROR_HANDLE), text.data(), text.size());
  ExitProcess(bridgeFailureCode);
}

bool sendAll(SOCKET s, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    int n = send(s, data.data() + done, int(data.size() - done), 0);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// One request field: a tag, a blank, the byte count, a line feed, the bytes.
void addField(std::string& request, char tag, const std::string& value) {
  request += tag;
  request += ' ';
  request += std::to_string(value.size());
  request += '\n';
  request += value;
}

// Reads frames of the same shape from the bridge.
struct Reader {
  SOCKET s;
  std::string buffer;
  bool fill() {
    char chunk[65536];
    int n = recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, size_t(n));
    return true;
  }
  bool frame(char& tag, std::string& value) {
    size_t eol;
    while ((eol = buffer.find('\n')) == std::string::npos)
      if (!fill()) return false;
    if (eol < 3 || buffer[1] != ' ') giveUp("the bridge sent a malformed frame");
    tag = buffer[0];
    unsigned long long size = std::strtoull(buffer.c_str() + 2, nullptr, 10);
    buffer.erase(0, eol + 1);
    while (buffer.size() < size)
      if (!fill()) return false;
    value = buffer.substr(0, size_t(size));
    buffer.erase(0, size_t(size));
    return true;
  }
};

}  // namespace

int main() {
  wchar_t setting[256];
  DWORD got = GetEnvironmentVariableW(bridgeVariable, setting, 256);
  if (got == 0 || got >= 256)
    giveUp("VEYRA_PY_BRIDGE is not set. This program is a stand-in for tests under Wine; "
           "a real release ships a real Python interpreter here.");
  std::string text = utf8(setting);
  size_t blank = text.find(' ');
  unsigned long port = std::strtoul(text.c_str(), nullptr, 10);
  if (blank == std::string::npos || port == 0 || port > 65535)
    giveUp("VEYRA_PY_BRIDGE must hold a port and a token");

  std::string request;
  addField(request, 'T', text.substr(blank + 1));
  // Wine's own process id, so the tests can look for this very process in
  // Wine's process list once it should have been ended.
  addField(request, 'P', std::to_string(GetCurrentProcessId()));
  std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
  cwd.resize(GetCurrentDirectoryW(DWORD(cwd.size()), cwd.data()));
  addField(request, 'C', utf8(cwd));
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; i++) addField(request, 'A', utf8(argv[i]));
  if (wchar_t* env = GetEnvironmentStringsW()) {
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
      std::wstring entry(p);
      if (entry.rfind(forwardedPrefix, 0) == 0 && entry.rfind(bridgeVariable, 0) != 0)
        addField(request, 'E', utf8(entry));
    }
    FreeEnvironmentStringsW(env);
  }
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  // The launcher hands one pipe for both streams; the script then gets one
  // too, so its lines keep the order they were written in.
  addField(request, 'M', out == err ? "1" : "0");
  addField(request, 'Z', "");

  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) giveUp("no sockets");
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) giveUp("no socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(u_short(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    giveUp("the bridge on 127.0.0.1:" + std::to_string(port) + " does not answer");
  if (!sendAll(s, request)) giveUp("the bridge closed the connection");

  Reader reader{s, {}};
  char tag = 0;
  std::string value;
  while (reader.frame(tag, value)) {
    if (tag == '1') writeAll(out, value.data(), value.size());
    else if (tag == '2') writeAll(err, value.data(), value.size());
    else if (tag == 'e') giveUp(value);
    else if (tag == 'x') {
      closesocket(s);
      ExitProcess(UINT(std::strtoul(value.c_str(), nullptr, 10)));
    }
  }
  giveUp("the bridge went away before the script ended");
}
