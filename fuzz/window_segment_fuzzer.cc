// Fuzzes the reader of window definition segments: read the segment, then every unit's type
// block through the reader of its type. A segment that reads must write and read back as
// itself, and so must every block that reads: a difference is a reader or writer fault and
// stops the run like a crash does.
//
// MEMO_FUZZ_WRITE_SEGMENT_SEEDS=DIR writes the seeds into DIR and exits:
//   MEMO_FUZZ_WRITE_SEGMENT_SEEDS=fuzz/corpus/window_segment build/fuzz/bin/fuzz_window_segment
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/windows/carried_segment.h"
#include "ui/format/segment.h"
#include "ui/format/type_blocks.h"

namespace {

using namespace memo::ui;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "window_segment: %s\n", what);
  std::abort();
}

// Reads a block; when it reads, its written form must read back as the same settings (written
// at the current version, whatever version was read).
template <typename Block>
void FuzzBlock(std::string_view bytes, BlockStatus (*read)(std::string_view, Block*),
               std::string (*write)(const Block&)) {
  Block block;
  if (read(bytes, &block) != BlockStatus::kOk) return;
  block.version = Block{}.version;
  Block again;
  Check(read(write(block), &again) == BlockStatus::kOk, "a written block does not read");
  Check(again == block, "a block does not survive write and read");
}

void FuzzTypeBlock(const UnitRecord& unit) {
  const std::string& b = unit.type_block;
  switch (unit.type) {
    case unit_type::kWindow: FuzzBlock(b, ReadWindowBlock, WriteWindowBlock); break;
    case unit_type::kEditBox: FuzzBlock(b, ReadEditBoxBlock, WriteEditBoxBlock); break;
    case unit_type::kLabel: FuzzBlock(b, ReadLabelBlock, WriteLabelBlock); break;
    case unit_type::kButton: FuzzBlock(b, ReadButtonBlock, WriteButtonBlock); break;
    case unit_type::kComboBox: FuzzBlock(b, ReadComboBoxBlock, WriteComboBoxBlock); break;
    case unit_type::kGrid: FuzzBlock(b, ReadGridBlock, WriteGridBlock); break;
    case unit_type::kDataSrc: FuzzBlock(b, ReadDataSrcBlock, WriteDataSrcBlock); break;
    case unit_type::kDBProvider: FuzzBlock(b, ReadDBProviderBlock, WriteDBProviderBlock); break;
    case unit_type::kEGrid: FuzzBlock(b, ReadEGridBlock, WriteEGridBlock); break;
    case unit_type::kTransLabel: FuzzBlock(b, ReadTransLabelBlock, WriteTransLabelBlock); break;
    case unit_type::kHtmlViewer: FuzzBlock(b, ReadHtmlViewerBlock, WriteHtmlViewerBlock); break;
    default:
      // A type the program does not use: its block still goes through every reader, as a
      // corrupted type word would send it.
      FuzzBlock(b, ReadEditBoxBlock, WriteEditBoxBlock);
      FuzzBlock(b, ReadComboBoxBlock, WriteComboBoxBlock);
      FuzzBlock(b, ReadEGridBlock, WriteEGridBlock);
      FuzzBlock(b, ReadWindowBlock, WriteWindowBlock);
      break;
  }
}

void WriteFile(const std::string& path, const std::string& bytes) {
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

// The carried segment, and the same with the advanced grid's block carrying its extension.
void WriteSeeds(const std::string& dir) {
  std::string carried(reinterpret_cast<const char*>(kCarriedSegment), kCarriedSegmentSize);
  WriteFile(dir + "/carried", carried);
  DefinitionStore store;
  if (ReadSegment(kCarriedSegment, kCarriedSegmentSize, &store) != SegmentError::kNone) return;
  for (WindowRecord& window : store.windows) {
    for (UnitRecord& unit : window.units) {
      EGridBlock grid;
      if (unit.type != unit_type::kEGrid ||
          ReadEGridBlock(unit.type_block, &grid) != BlockStatus::kOk) {
        continue;
      }
      grid.words[kEGridSelectionWord] |= 0x80000000u;
      grid.has_extension = true;
      grid.extension_format = 1;
      grid.extension_border = 3;
      unit.type_block = WriteEGridBlock(grid);
    }
  }
  WriteFile(dir + "/carried_egrid_extension", WriteSegment(store));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seed_dir = std::getenv("MEMO_FUZZ_WRITE_SEGMENT_SEEDS")) {
    WriteSeeds(seed_dir);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DefinitionStore store;
  if (ReadSegment(data, size, &store) != SegmentError::kNone) {
    Check(store.windows.empty(), "a failed read left windows in the store");
    return 0;
  }
  DefinitionStore again;
  const std::string written = WriteSegment(store);
  Check(ReadSegment(reinterpret_cast<const uint8_t*>(written.data()), written.size(), &again) ==
            SegmentError::kNone,
        "a written segment does not read");
  Check(again == store, "a segment does not survive write and read");
  for (const WindowRecord& window : store.windows) {
    for (const UnitRecord& unit : window.units) FuzzTypeBlock(unit);
  }
  return 0;
}
