// Writes the seed corpora of the fuzz targets, made by the program's own
// writers wherever it has one: fuzz_seeds <dir> fills <dir>/<target>/ with
// small files. Pointer files come from real sends with every transform
// setting, .Z streams from the LZ filter, settings files from a real save;
// the web library's settings files, URLs and answers are written by hand as
// servers and users write them.

#include "support/CollectFilter.h"
#include "support/NineBitStream.h"
#include "FuzzFiles.h"
#include "app/HeadlessUserInterface.h"
#include "app/PointerDoc.h"
#include "app/QuiverApp.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "platform/FileHandle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::string g_root;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz_seeds: %s\n", what.c_str());
  std::exit(1);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::string dir = g_root + "/" + target;
  mkdir(dir.c_str(), 0755);
  WriteWholeFile(dir + "/" + name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Readable text that repeats over long distances, as documents do.
std::string Text(size_t size) {
  static const char* const kWords[] = {"quiver ", "sends ", "a ",   "file ", "by ",
                                       "reference\n", "the ", "pointer ", "travels ", "URL "};
  std::string text;
  for (uint32_t i = 0; text.size() < size; i = i * 7 + 3) text += kWords[i % 10];
  text.resize(size);
  return text;
}

std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

std::string Compress(const std::string& input) {
  const std::string& path = WriteScratchFile(reinterpret_cast<const uint8_t*>(input.data()),
                                             input.size());
  CCollectFilter collect;
  CLZCompressFilter lz;
  Prepare(lz, true, &collect);
  if (!lz.Open(path) || !lz.Run()) Fail("compressing failed");
  return collect.data;
}

void LzSeeds() {
  const std::vector<std::pair<std::string, std::string>> inputs = {
      {"empty", ""},
      {"byte", "A"},
      {"abab", "ABABABA"},
      {"run", std::string(300, 'a')},
      {"text", Text(3000)},
      {"noise", Noise(1500, 7)},
  };
  for (const auto& [name, input] : inputs) {
    const std::string stream = Compress(input);
    Seed("lz_expand_fuzz", name + ".Z", stream);
    Seed("lz_differential_fuzz", name + ".Z", stream);
    Seed("lz_differential_fuzz", name, input);
    // The codes alone, for the run behind a prepended header: 16 bits,
    // block mode.
    if (stream.size() > 3) {
      Seed("lz_expand_fuzz", name + ".codes", "\x87" + stream.substr(3));
    }
  }
  // 9-bit codes for the run behind a prepended header (block mode, 9 bits):
  // every byte once fills the dictionary, CLEAR empties it and ends its
  // group, and a few codes use the new one.
  std::vector<uint32_t> codes(256);
  for (uint32_t i = 0; i < 256; ++i) codes[i] = i;
  codes.insert(codes.end(), {256, 'a', 'b', 257, 258});
  Seed("lz_expand_fuzz", "clear-9.codes", "\x80" + NineBitStream(codes).substr(3));
}

// Streams of every width from ncompress's compress, when it is installed.
void CompressSeeds() {
  const std::string source = ScratchPath(1);
  const std::string text = Text(3000);
  WriteWholeFile(source, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  for (int bits = 9; bits <= 16; ++bits) {
    const std::string command = "compress -b" + std::to_string(bits) + " -c < '" + source + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return;
    std::string stream;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) stream.append(chunk, n);
    if (pclose(pipe) != 0) return;
    Seed("lz_differential_fuzz", "compress-b" + std::to_string(bits) + ".Z", stream);
  }
}

struct Transforms {
  const char* name;
  int32_t compress;
  int32_t encrypt;
};
constexpr Transforms kTransformSettings[] = {
    {"none", 0, 0},   {"lz", 1, 0},       {"simple", 0, 1},
    {"lz-simple", 1, 1}, {"strong", 0, 2}, {"lz-strong", 1, 2}};

void PointerSeeds() {
  const std::string published = PrivateConfigHome() + "/published";
  mkdir(published.c_str(), 0700);
  const std::string source = ScratchPath(1);
  const std::string pointer = ScratchPath(2);
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"small", Text(200)}, {"empty", ""}};
  for (const Transforms& t : kTransformSettings) {
    for (const auto& [label, bytes] : sources) {
      WriteWholeFile(source, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      CSettings settings;
      settings.compressType = t.compress;
      settings.encryptType = t.encrypt;
      CPointerDoc doc;
      doc.BuildChain(settings);
      if (!doc.Send(pointer, source, "http://www.example.com/pub/", published + "/")) {
        Fail("sending failed");
      }
      Seed("pointer_file_fuzz", std::string(t.name) + "-" + label + ".qvr", ReadAll(pointer));
    }
  }
  // A URL long enough for the 16-bit length form.
  CPointerDoc doc;
  doc.SetUrl("http://host/" + std::string(300, 'u') + ".txt");
  doc.SetSize(123456);
  if (!doc.WriteToFile(pointer)) Fail("writing a pointer file failed");
  Seed("pointer_file_fuzz", "long-url.qvr", ReadAll(pointer));
}

// Plaintexts for the Strong reader's round trips: empty, short, and on both
// sides of the chunk size.
void StrongSeeds() {
  for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65537}}) {
    Seed("strong_decrypt_fuzz", "plain-" + std::to_string(size), Text(size));
  }
}

// The objects of a pointer file's chain as the archive target reads them:
// a byte choosing the accepted classes, a counted list, a string.
void ArchiveSeeds() {
  const std::string& path = ScratchPath(1);
  for (const Transforms& t : kTransformSettings) {
    CSettings settings;
    settings.compressType = t.compress;
    settings.encryptType = t.encrypt;
    CPointerDoc doc;
    doc.BuildChain(settings);
    CFileHandle file;
    if (!file.CreateAlways(path, FileShare::None)) Fail("cannot create " + path);
    {
      CArchive archive(file, CArchive::Mode::Store);
      archive.WriteCount(static_cast<uint32_t>(doc.GetFilters().size() * 2));
      for (const auto& filter : doc.GetFilters()) archive.WriteObject(*filter, CPointerRecord::StoredTransforms());
      // The second time each class is named by its index.
      for (const auto& filter : doc.GetFilters()) archive.WriteObject(*filter, CPointerRecord::StoredTransforms());
      archive.WriteString("end");
      archive.Close();
    }
    file.Close();
    Seed("archive_objects_fuzz", std::string(t.name) + ".bin", "\x01" + ReadAll(path));
  }
}

void SettingsSeeds() {
  CHeadlessUserInterface ui;
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  CSettings complete;
  complete.urlRoot = "http://www.example.com/~me/pub";
  complete.fileRoot = "/home/me/public_html/pub";
  complete.hasUrlFileDir = 1;
  complete.urlFileDir = "/home/me/pointers";
  CSettings odd;
  odd.urlRoot = "http://h/a\\b\nc\rd=e[f]";
  odd.fileRoot = " /leading blank ; not a comment";
  odd.compressType = -7;
  odd.encryptType = 2147483647;
  odd.deleteTempFiles = 0;
  const std::vector<std::pair<std::string, CSettings>> records = {
      {"defaults", CSettings()}, {"complete", complete}, {"odd", odd}};
  for (const auto& [name, settings] : records) {
    std::remove(app.ProfilePath().c_str());
    app.SetRegistryKey(CQuiverApp::kRegistryKey);
    app.SaveSettings(settings);
    Seed("settings_store_fuzz", name + ".ini", ReadAll(app.ProfilePath()));
  }
}

void GannetIniSeeds() {
  std::string many = "[contenttype]\n";
  for (int i = 0; i < 60; ++i) many += "type/x" + std::to_string(i) + "=.e" + std::to_string(i) + "\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"proxy.ini", "[proxy information]\nhttp_proxy=http://proxy.example:3128/\n"},
      {"timeout.ini", "[network]\ntimeout=5\n"},
      {"types.ini",
       "; content types\r\n[ContentType]\r\n text/html = .htm \r\nimage/gif=.gif\r\n"
       "text/plain=\r\napplication/x=verylongextension\r\nImage/GIF=.GIF\r\n"},
      {"mixed.ini",
       "[proxy information]\nhttp_proxy=127.0.0.1:8080\n[network]\ntimeout=0\n"
       "[contenttype]\napplication/octet-stream=.bin\n[other]\nkey=value\n"},
      {"many-types.ini", many},
  };
  for (const auto& [name, text] : files) Seed("gannet_ini_fuzz", name, text);
}

void GannetUrlSeeds() {
  const char* const urls[] = {
      "http://www.example.com/pub/report.doc",
      "http://User@Example.COM:8080/a/b?q=1#frag",
      "http://[::1]:8080/x.txt",
      "http://host./",
      "HTTP://h:/",
      "http://h:99999999999/",
      "//host/path",
      "relative/path.txt",
      "/absolute",
      "mailto:a@b",
      "http://h/a b\r\nX-Injected: 1",
      "http://h/%41%zz",
  };
  int i = 0;
  for (const char* url : urls) Seed("gannet_url_fuzz", "url" + std::to_string(i++), url);
}

void GannetHttpSeeds() {
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"ok", "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nhello"},
      {"lf-only", "HTTP/1.1 200 OK\nContent-type: image/gif\n\nGIF89a"},
      {"not-found", "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<h1>404</h1>"},
      {"short-body", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort"},
      {"no-status", "hello\r\n\r\nbody"},
      {"no-header-end", "HTTP/1.0 200 OK\r\nServer: x\r\n"},
      {"mapped", "HTTP/1.0 201 Created\r\nContent-Type:   application/x-quiver; x=y\r\n\r\nq"},
      {"body", "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + Text(3000)},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;ext=1\r\nwiki\r\n"
                  "5\r\npedia\r\n0\r\nExpires: never\r\n\r\n"},
      {"redirects", "HTTP/1.1 301 Moved\r\nLocation: /b/../c?x\r\n\r\n"
                    "HTTP/1.1 307 Again\r\nLocation: http://fuzz.example/d\r\n\r\n"
                    "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"},
  };
  for (const auto& [name, answer] : answers) Seed("gannet_http_fuzz", name, answer);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) Fail("usage: fuzz_seeds <dir>");
  g_root = argv[1];
  mkdir(g_root.c_str(), 0755);
  PrivateConfigHome();
  LzSeeds();
  CompressSeeds();
  PointerSeeds();
  StrongSeeds();
  ArchiveSeeds();
  SettingsSeeds();
  GannetIniSeeds();
  GannetUrlSeeds();
  GannetHttpSeeds();
  return 0;
}
