// Times the mapping file: the import of 255 port sections into a fresh registry file whose
// ports are all free (every mapping written and committed), and the export of the result.
// Usage: mapping_file_bench [folder] (default: the system's temporary folder).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_sqlite.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_file.h"
#include "store/port_manager.h"
#include "bench_window.h"

namespace {

constexpr int kImportRuns = 5;
constexpr int kExportRuns = 21;

// 255 sections over the nine models, each with a memo of two lines.
std::string MappingText() {
  static const char* const kModels[] = {"7370", "7371", "7304", "b370", "b371", "7308", "7316", "c370", "c371"};
  static const int kPorts[] = {2, 1, 4, 2, 1, 8, 16, 2, 1};
  std::string text = "[VEQ COMPORT MAPPING]\r\nVersion = 1.20\r\n\r\n";
  for (int n = 1; n <= 255; ++n) {
    char section[256];
    std::snprintf(section, sizeof section,
                  "[COM%d]\r\nModel = %s\r\nIP Address = 10.%d.%d.%d\r\nPort = %d\r\nAutoReconn = %d\r\n"
                  "Memo001 = Rack %d, shelf %d\r\nMemo002 = Line of COM%d\r\n\r\n",
                  n, kModels[n % 9], n / 100 + 1, n % 100, n % 200 + 1, n % kPorts[n % 9] + 1, n % 2, n / 10, n % 10,
                  n);
    text += section;
  }
  return text;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Seconds(std::chrono::steady_clock::duration elapsed) { return std::chrono::duration<double>(elapsed).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder =
      (argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path()) /
      ("mapping-file-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  const std::string importPath = (folder / "in.cpm").string();
  const std::string exportPath = (folder / "out.cpm").string();
  const std::string text = MappingText();
  std::ofstream(importPath, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));

  std::vector<double> importSeconds, exportSeconds;
  bool sound = true;
  for (int run = 0; run < kImportRuns && sound; ++run) {
    const std::string registryPath = (folder / ("registry-" + std::to_string(run) + ".db")).string();
    std::string failure;
    auto registry = platform::SqliteRegistry::Open(registryPath, &failure);
    if (registry == nullptr) {
      std::fprintf(stderr, "%s\n", failure.c_str());
      return 1;
    }
    BenchWindow window;
    window.store = std::make_unique<TTorl7370PortManager>(&window, *registry);
    TTorl7370PortManager& store = *window.store;
    if (!store.OpenRegistry() || !store.LoadPorts()) {
      std::fprintf(stderr, "cannot load the store: 0x%08X\n", window.ErrorCode);
      return 1;
    }

    MappingFile in;
    if (!in.OpenForImport(importPath)) return 1;
    const auto importStart = std::chrono::steady_clock::now();
    const std::uint32_t imported = store.ImportMappings(in);
    importSeconds.push_back(Seconds(std::chrono::steady_clock::now() - importStart));
    in.Close();
    const bool allMapped =
        std::all_of(store.ports.begin() + 1, store.ports.end(), [](auto* port) { return IsModelKind(port->kind); });
    if (imported != PMERR_NONE || !allMapped) {
      std::fprintf(stderr, "import failed: 0x%08X at line %d\n", imported, store.importLine);
      sound = false;
    }

    // The exports of the last run.
    for (int i = 0; i < kExportRuns && sound && run == kImportRuns - 1; ++i) {
      MappingFile out;
      if (!out.OpenForExport(exportPath)) return 1;
      const auto exportStart = std::chrono::steady_clock::now();
      const std::uint32_t exported = store.ExportMappings(out);
      const bool closed = out.Close();
      exportSeconds.push_back(Seconds(std::chrono::steady_clock::now() - exportStart));
      if (exported != PMERR_NONE || !closed || ReadBytes(exportPath) != text) {
        std::fprintf(stderr, "the export differs from the imported file\n");
        sound = false;
      }
    }
    window.store.reset();
    registry.reset();
  }
  std::filesystem::remove_all(folder);
  if (!sound) return 1;

  std::printf("import of 255 sections, fresh registry: median %.3f s over %d runs (aim < 2 s)\n",
              Median(importSeconds), kImportRuns);
  std::printf("export of 255 mapped ports: median %.2f ms over %d runs (aim < 50 ms)\n",
              Median(exportSeconds) * 1000.0, kExportRuns);
  return 0;
}
