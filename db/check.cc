#include "db/check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/database.h"
#include "db/digest.h"
#include "db/engine_code.h"
#include "db/file_names.h"
#include "platform/codec.h"
#include "platform/gbk.h"

namespace memo::db {

namespace {

using platform::File;
using platform::FileError;

// Findings of one sort beyond this many are counted, not listed.
constexpr int kFindingsPerSort = 20;

// Whether repair can set a piece of damage right without losing data.
enum class Repair { kMendable, kUnmendable };

// Collects findings, listing the first kFindingsPerSort of each sort and summing up the rest in
// one line of the same kind (mendable only when every one it stands for is).
class FindingSink {
 public:
  explicit FindingSink(std::vector<Finding>* out) : out_(out) {}
  FindingSink(const FindingSink&) = delete;
  FindingSink& operator=(const FindingSink&) = delete;
  ~FindingSink() {
    for (const auto& [sort, over] : over_) {
      out_->push_back(
          {over.kind, over.mendable,
           "... and " + std::to_string(over.count) + " more like the " + sort + " above"});
    }
  }

  void Add(FindingKind kind, bool mendable, const std::string& sort, std::string text) {
    if (++listed_[sort] <= kFindingsPerSort) {
      out_->push_back({kind, mendable, std::move(text)});
      return;
    }
    Over& over = over_[sort];
    if (over.count == 0) {
      over.kind = kind;
      over.mendable = mendable;
    }
    over.mendable = over.mendable && mendable;
    if (kind == FindingKind::kDamage) over.kind = kind;
    ++over.count;
  }
  void Damage(Repair repair, const std::string& sort, std::string text) {
    Add(FindingKind::kDamage, repair == Repair::kMendable, sort, std::move(text));
  }
  void Note(std::string text) { Add(FindingKind::kNote, false, "notes", std::move(text)); }

 private:
  struct Over {
    FindingKind kind = FindingKind::kNote;
    bool mendable = true;
    int64_t count = 0;
  };
  std::vector<Finding>* out_;
  std::map<std::string, int64_t> listed_;
  std::map<std::string, Over> over_;
};

std::string Num(int64_t n) { return std::to_string(n); }

std::string Plural(int64_t n, const char* one, const char* many) {
  return Num(n) + " " + (n == 1 ? one : many);
}

std::string Hex32(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08x", v);
  return buffer;
}

// Four magic bytes as they would print: letters as they are, anything else as \xNN.
std::string MagicText(const char* magic) {
  std::string out = "\"";
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>(magic[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
      out += buffer;
    }
  }
  return out + "\"";
}

std::string DescribeHead(const MemoWalk& walk, const ChainHead& head) {
  std::string text = "record " + Num(head.record + 1) + " field ";
  if (head.field < walk.field_names.size() && !walk.field_names[head.field].empty()) {
    return text + walk.field_names[head.field];
  }
  return text + Num(head.field + 1);
}

// Runs of block numbers, "4, 7..9", at most a few runs before "...".
std::string BlockRuns(const std::vector<int64_t>& owner) {
  std::string text;
  int runs = 0;
  for (uint64_t k = 1; k < owner.size();) {
    if (owner[k] != kUnclaimedBlock) {
      ++k;
      continue;
    }
    uint64_t end = k;
    while (end + 1 < owner.size() && owner[end + 1] == kUnclaimedBlock) ++end;
    if (++runs > 8) return text + ", ...";
    if (!text.empty()) text += ", ";
    text += end == k ? Num(static_cast<int64_t>(k))
                     : Num(static_cast<int64_t>(k)) + ".." + Num(static_cast<int64_t>(end));
    k = end + 1;
  }
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The MemoFile: M2 to M5.

void WalkMemoChains(const MemoWalk& walk, const BlockReader& read_block, MemoWalkResult* result) {
  *result = MemoWalkResult{};
  FindingSink sink(&result->findings);
  const uint64_t whole = walk.whole_blocks;
  const int64_t counted = walk.header.block_count;
  const std::string whole_text =
      "the memo file (" + Plural(static_cast<int64_t>(whole), "whole block", "whole blocks") + ")";

  // M2. A header that counts more blocks than the file holds makes readers that do not repair
  // refuse the pair; one that counts fewer makes the next allocation hand out a block again.
  if (counted <= 0) {
    sink.Damage(Repair::kMendable, "block count",
                "memo file: block count " + Num(counted) + " is not positive");
  } else if (static_cast<uint64_t>(counted) > whole) {
    sink.Damage(Repair::kMendable, "block count",
                "memo file: the header counts " + Num(counted) + " blocks, the file holds " +
                    Plural(static_cast<int64_t>(whole), "whole block", "whole blocks"));
  } else if (static_cast<uint64_t>(counted) < whole) {
    sink.Note(
        "memo file: " +
        Plural(static_cast<int64_t>(whole - counted), "whole block lies", "whole blocks lie") +
        " beyond the header's block count " + Num(counted));
  }
  auto beyond_count = [&](uint32_t block) { return counted > 0 && block >= counted; };

  result->owner.assign(whole, kUnclaimedBlock);
  result->chain_problem.assign(walk.heads.size(), std::string());
  std::vector<uint32_t> expected_prev(whole, 0);  // of chain blocks: the block before on the chain
  struct BackLink {
    size_t head;
    uint32_t block;
    uint32_t prev;
  };
  std::vector<BackLink> back_links;
  char block[kMemoBlockSize];

  // M3.
  for (size_t h = 0; h < walk.heads.size(); ++h) {
    const ChainHead& head = walk.heads[h];
    // Named only for a finding: most chains are sound, and naming each would cost more than
    // walking it.
    auto who = [&] { return DescribeHead(walk, head); };
    auto broken = [&](size_t which, const std::string& why) {
      if (!result->chain_problem[which].empty()) return;
      result->chain_problem[which] = why;
      sink.Damage(Repair::kUnmendable, "chain", DescribeHead(walk, walk.heads[which]) + ": " + why);
    };
    bool beyond_told = false;
    uint32_t previous = 0;
    for (uint32_t current = head.block; current != 0;) {
      if (current >= whole) {
        broken(h, "link to block " + Num(current) + ", outside " + whole_text);
        break;
      }
      const int64_t owner = result->owner[current];
      if (owner == static_cast<int64_t>(h)) {
        broken(h, "chain loops back to block " + Num(current));
        break;
      }
      if (!read_block(current, block)) {
        broken(h, "block " + Num(current) + " cannot be read");
        break;
      }
      BlockLinks links;
      DecodeBlockLinks(block, &links);
      if (owner >= 0) {
        // Two chains meet. The block belongs to the chain its previous link names; when both
        // (or neither) agree, to the one that came first, unless that one is already broken.
        const auto other = static_cast<size_t>(owner);
        const bool mine = links.prev == previous;
        const bool theirs = links.prev == expected_prev[current];
        if (mine && (!theirs || !result->chain_problem[other].empty())) {
          broken(other, "block " + Num(current) + " belongs to the chain of " + who());
        } else {
          broken(h, "block " + Num(current) + " is also on the chain of " +
                        DescribeHead(walk, walk.heads[other]));
          break;
        }
      }
      result->owner[current] = static_cast<int64_t>(h);
      expected_prev[current] = previous;
      if (links.used == 0 || links.used > kMemoBlockDataSize) {
        broken(h, "block " + Num(current) + " has used count " + Num(links.used) +
                      " (1..500 on a chain)");
        break;
      }
      if (links.prev != previous) back_links.push_back({h, current, previous});
      if (beyond_count(current) && !beyond_told) {
        beyond_told = true;
        sink.Damage(Repair::kMendable, "chain beyond count",
                    who() + ": block " + Num(current) + " lies beyond the header's block count " +
                        Num(counted));
      }
      previous = current;
      current = links.next;
    }
  }
  // Back links matter only on chains that read whole and still own the block.
  for (const BackLink& fix : back_links) {
    if (!result->chain_problem[fix.head].empty() ||
        result->owner[fix.block] != static_cast<int64_t>(fix.head)) {
      continue;
    }
    BlockLinks links;
    if (!read_block(fix.block, block)) continue;
    DecodeBlockLinks(block, &links);
    sink.Damage(Repair::kMendable, "back link",
                DescribeHead(walk, walk.heads[fix.head]) + ": block " + Num(fix.block) +
                    " links back to " + Num(links.prev) + ", expected " + Num(fix.prev));
    result->back_link_fixes.emplace_back(fix.block, fix.prev);
  }

  // M4. Every fault of the free list is mended by building it again from the unclaimed blocks.
  int64_t on_list = 0;
  uint32_t previous = 0;
  const int64_t free_head = walk.header.free_head;
  uint32_t current = 0;
  if (free_head < 0 || static_cast<uint64_t>(free_head) >= std::max<uint64_t>(whole, 1)) {
    sink.Damage(Repair::kMendable, "free list",
                "free list: first free block " + Num(free_head) + " lies outside " + whole_text);
  } else {
    current = static_cast<uint32_t>(free_head);
  }
  bool beyond_told = false;
  while (current != 0) {
    if (current >= whole) {
      sink.Damage(Repair::kMendable, "free list",
                  "free list: link to block " + Num(current) + ", outside " + whole_text);
      break;
    }
    const int64_t owner = result->owner[current];
    if (owner == kFreeListBlock) {
      sink.Damage(Repair::kMendable, "free list", "free list loops back to block " + Num(current));
      break;
    }
    if (owner >= 0) {
      sink.Damage(Repair::kMendable, "free list",
                  "free list: block " + Num(current) + " is also on the chain of " +
                      DescribeHead(walk, walk.heads[static_cast<size_t>(owner)]));
      break;
    }
    if (!read_block(current, block)) {
      sink.Damage(Repair::kMendable, "free list",
                  "free list: block " + Num(current) + " cannot be read");
      break;
    }
    result->owner[current] = kFreeListBlock;
    ++on_list;
    BlockLinks links;
    DecodeBlockLinks(block, &links);
    if (links.prev != previous) {
      sink.Damage(Repair::kMendable, "free list",
                  "free list: block " + Num(current) + " links back to " + Num(links.prev) +
                      ", expected " + Num(previous));
    }
    if (links.used != 0) {
      sink.Damage(Repair::kMendable, "free list",
                  "free list: block " + Num(current) + " has used count " + Num(links.used) +
                      " (0 when free)");
    }
    if (beyond_count(current) && !beyond_told) {
      beyond_told = true;
      sink.Damage(Repair::kMendable, "free list",
                  "free list: block " + Num(current) + " lies beyond the header's block count " +
                      Num(counted));
    }
    previous = current;
    current = links.next;
  }
  if (on_list != walk.header.free_count) {
    sink.Damage(Repair::kMendable, "free list",
                "free list holds " + Plural(on_list, "block", "blocks") + ", the header counts " +
                    Num(walk.header.free_count));
  }

  // M5, and the free blocks a sound writer would have trimmed from the end.
  uint64_t last_chain_block = 0;
  for (uint64_t k = 1; k < whole; ++k) {
    if (result->owner[k] >= 0) last_chain_block = k;
    if (result->owner[k] == kUnclaimedBlock) ++result->leaked_blocks;
  }
  for (uint64_t k = last_chain_block + 1; k < whole; ++k) {
    if (result->owner[k] == kFreeListBlock) ++result->trailing_free_blocks;
  }
  if (result->leaked_blocks == 1) {
    sink.Add(FindingKind::kLeak, false, "leak",
             "block " + BlockRuns(result->owner) + " is on no chain and not on the free list");
  } else if (result->leaked_blocks > 1) {
    sink.Add(FindingKind::kLeak, false, "leak",
             Num(static_cast<int64_t>(result->leaked_blocks)) +
                 " blocks are on no chain and not on the free list: " + BlockRuns(result->owner));
  }
  if (result->trailing_free_blocks > 0) {
    sink.Note(
        "memo file: " +
        Plural(static_cast<int64_t>(result->trailing_free_blocks), "free block", "free blocks") +
        " at its end, after the last block in use");
  }
}

// ---------------------------------------------------------------------------------------------
// The RecordFile: R1 to R5.

bool CheckReport::HasDamage() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.kind == FindingKind::kDamage; });
}

bool CheckReport::HasUnmendableDamage() const {
  return std::any_of(findings.begin(), findings.end(), [](const Finding& f) {
    return f.kind == FindingKind::kDamage && !f.mendable;
  });
}

bool FieldReadable(const FieldDescriptor& field, int32_t record_size) {
  if (!IsValidFieldType(field.type) || record_size <= 0) return false;
  const uint32_t size = field.Size();
  if (size == 0 || (field.type == kFieldText && static_cast<int32_t>(field.declared_length) <= 0)) {
    return false;
  }
  return uint64_t{field.offset} + size <= static_cast<uint64_t>(record_size);
}

namespace {

std::string FieldLabel(const FieldDescriptor& field, size_t index) {
  std::string name = GbkToUtf8(field.Name());
  return "field " + Num(static_cast<int64_t>(index) + 1) + (name.empty() ? "" : " (" + name + ")");
}

std::string ByteRange(uint64_t begin, uint64_t size) {
  return "bytes " + Num(static_cast<int64_t>(begin)) + ".." +
         Num(static_cast<int64_t>(begin + size - 1));
}

// R3.
void CheckDescriptors(const std::vector<FieldDescriptor>& fields, int32_t record_size,
                      FindingSink* sink) {
  std::map<std::string, size_t> names;  // folded name -> first field with it
  struct Span {
    uint64_t begin, end;
    size_t field;
  };
  std::vector<Span> spans;
  uint64_t need = kSerialSize;
  size_t need_field = fields.size();  // none: the serial alone
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldDescriptor& field = fields[i];
    const std::string label = FieldLabel(field, i);
    if (std::memchr(field.raw_name, '\0', kFieldNameNulLimit) == nullptr) {
      sink->Damage(Repair::kUnmendable, "field",
                   label + ": its name has no NUL within its first 17 bytes");
    }
    const std::string name = field.Name();
    if (name.empty()) {
      sink->Damage(Repair::kUnmendable, "field", label + " has an empty name");
    } else {
      auto [it, fresh] = names.emplace(GbkAsciiToLower(name), i);
      if (!fresh) {
        sink->Damage(Repair::kUnmendable, "field",
                     "fields " + Num(static_cast<int64_t>(it->second) + 1) + " and " +
                         Num(static_cast<int64_t>(i) + 1) + " have the same name " +
                         GbkToUtf8(name));
      }
    }
    if (!IsValidFieldType(field.type)) {
      sink->Damage(Repair::kUnmendable, "field",
                   label + ": type code " + Num(field.type) + " is not a field type (1..12)");
      continue;
    }
    if (field.type == kFieldText && static_cast<int32_t>(field.declared_length) <= 0) {
      sink->Damage(Repair::kUnmendable, "field",
                   label + ": a text field needs a length above 0, it declares " +
                       Num(static_cast<int32_t>(field.declared_length)));
      continue;
    }
    const uint64_t size = field.Size();
    if (field.offset < kSerialSize) {
      sink->Damage(Repair::kUnmendable, "field",
                   label + " at " + ByteRange(field.offset, size) +
                       " overlaps the record's serial (bytes 0..3)");
    }
    spans.push_back({field.offset, field.offset + size, i});
    if (field.offset + size > need) {
      need = field.offset + size;
      need_field = i;
    }
  }
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.begin < b.begin; });
  const Span* widest = nullptr;  // of the spans so far, the one reaching furthest
  for (const Span& span : spans) {
    if (widest != nullptr && span.begin < widest->end) {
      const FieldDescriptor& a = fields[widest->field];
      const FieldDescriptor& b = fields[span.field];
      sink->Damage(Repair::kUnmendable, "overlap",
                   FieldLabel(a, widest->field) + " at " + ByteRange(a.offset, a.Size()) + " and " +
                       FieldLabel(b, span.field) + " at " + ByteRange(b.offset, b.Size()) +
                       " overlap");
    }
    if (widest == nullptr || span.end > widest->end) widest = &span;
  }
  if (record_size > 0 && need > static_cast<uint64_t>(record_size)) {
    sink->Damage(
        Repair::kUnmendable, "field",
        "record size " + Num(record_size) + " is smaller than its fields need: " +
            (need_field < fields.size() ? FieldLabel(fields[need_field], need_field) +
                                              " ends at byte " + Num(static_cast<int64_t>(need))
                                        : std::string("the serial takes 4 bytes")));
  }
}

// Reads records [first, first + count) (whole ones) into *buffer; false when short.
bool ReadRecords(const File& file, uint64_t offset, size_t bytes, std::string* buffer) {
  if (!TryResize(buffer, bytes)) return false;
  size_t done = 0;
  return file.ReadAt(offset, buffer->data(), bytes, &done) == FileError::kNone && done == bytes;
}

// R5 and the chain heads, over the whole records and the readable part of a cut-short one.
EngineCode CheckRecords(const File& file, CheckReport* report, FindingSink* sink) {
  const auto record_size = static_cast<uint64_t>(report->header.record_size);
  std::vector<size_t> chain_fields;
  for (size_t f = 0; f < report->fields.size(); ++f) {
    if (IsChainField(report->fields[f].type) &&
        FieldReadable(report->fields[f], report->header.record_size)) {
      chain_fields.push_back(f);
    }
  }
  // Records are read in pieces of about 1 MB; a record larger than that is read alone, only the
  // bytes that the walk looks at.
  const uint64_t per_read = std::max<uint64_t>(1, (uint64_t{1} << 20) / record_size);
  const bool sparse = record_size > (uint64_t{1} << 20);
  std::vector<std::pair<int32_t, int64_t>> live;  // serial, position
  int64_t highest_position = -1;
  const int64_t scan = report->whole_records + (report->partial_record_bytes > 0 ? 1 : 0);
  std::string buffer;
  for (int64_t first = 0; first < scan;) {
    const int64_t take =
        std::min<int64_t>(static_cast<int64_t>(per_read), report->whole_records - first);
    const bool partial = take <= 0;  // the cut-short record after the whole ones
    const uint64_t offset = report->records_start + static_cast<uint64_t>(first) * record_size;
    uint64_t available = partial ? report->partial_record_bytes : record_size;
    if (!sparse && !partial) {
      if (!ReadRecords(file, offset, static_cast<size_t>(take) * record_size, &buffer)) {
        return kReadRecordFailed;
      }
    }
    const int64_t records = partial ? 1 : take;
    for (int64_t i = 0; i < records; ++i) {
      const int64_t position = first + i;
      auto bytes_at = [&](uint64_t at, size_t n, char* out) {
        if (at + n > available) return false;
        if (!sparse && !partial) {
          std::memcpy(out, buffer.data() + static_cast<size_t>(i) * record_size + at, n);
          return true;
        }
        size_t done = 0;
        return file.ReadAt(offset + static_cast<uint64_t>(i) * record_size + at, out, n, &done) ==
                   FileError::kNone &&
               done == n;
      };
      char word[4];
      if (bytes_at(0, 4, word)) {
        const int32_t serial = DecodeInt32(word);
        const int64_t magnitude = serial < 0 ? -int64_t{serial} : serial;
        if (serial == 0) {
          sink->Damage(Repair::kUnmendable, "serial 0",
                       "record " + Num(position + 1) + " has serial 0 (neither live nor deleted)");
        } else if (serial > 0) {
          live.emplace_back(serial, position);
        }
        if (magnitude > report->highest_serial) {
          report->highest_serial = magnitude;
          highest_position = position;
        }
      }
      for (size_t f : chain_fields) {
        if (bytes_at(report->fields[f].offset, 4, word)) {
          report->walk.heads.push_back({position, static_cast<uint32_t>(f), DecodeFixed32(word)});
        }
      }
    }
    first += records;
  }

  // Records keep the order they were appended in, so their serials mostly ascend already.
  if (!std::is_sorted(live.begin(), live.end())) std::sort(live.begin(), live.end());
  for (size_t i = 1; i < live.size(); ++i) {
    if (live[i].first == live[i - 1].first) {
      sink->Damage(Repair::kUnmendable, "duplicate serial",
                   "records " + Num(live[i - 1].second + 1) + " and " + Num(live[i].second + 1) +
                       " are both live with serial " + Num(live[i].first));
    }
  }
  const int32_t next = report->header.next_serial;
  if (next <= 0 || next <= report->highest_serial) {
    const bool mendable = report->highest_serial < INT32_MAX;
    std::string text =
        "next serial " + Num(next) +
        (next <= 0 ? " is not positive"
                   : " is not above every serial (record " + Num(highest_position + 1) +
                         " has serial " + Num(report->highest_serial) + ")");
    sink->Damage(mendable ? Repair::kMendable : Repair::kUnmendable, "next serial", text);
    if (mendable) report->mended_next_serial = report->highest_serial + 1;
  }
  return kOk;
}

// The first kMemoBlockHeaderSize bytes (links and used count) of each of the first `blocks`
// blocks, one after the other in *links; false when the file does not hold them all or memory
// runs short.
bool ReadAllBlockLinks(const File& memo, uint64_t blocks, std::string* links) {
  constexpr uint64_t kBlocksPerRead = 2048;  // 1 MB
  if (blocks > SIZE_MAX / kMemoBlockSize) return false;
  std::string buffer;
  if (!TryResize(links, static_cast<size_t>(blocks) * kMemoBlockHeaderSize) ||
      !TryResize(&buffer, static_cast<size_t>(std::min(blocks, kBlocksPerRead)) * kMemoBlockSize)) {
    return false;
  }
  for (uint64_t first = 0; first < blocks; first += kBlocksPerRead) {
    const uint64_t take = std::min(blocks - first, kBlocksPerRead);
    const size_t bytes = static_cast<size_t>(take) * kMemoBlockSize;
    size_t done = 0;
    if (memo.ReadAt(first * kMemoBlockSize, buffer.data(), bytes, &done) != FileError::kNone ||
        done != bytes) {
      return false;
    }
    for (uint64_t k = 0; k < take; ++k) {
      std::memcpy(links->data() + static_cast<size_t>(first + k) * kMemoBlockHeaderSize,
                  buffer.data() + static_cast<size_t>(k) * kMemoBlockSize, kMemoBlockHeaderSize);
    }
  }
  return true;
}

// M1, then the walk.
void CheckMemoFile(const File* memo, CheckReport* report, FindingSink* sink) {
  if (memo == nullptr || !memo->IsOpen()) {
    sink->Damage(Repair::kUnmendable, "memo",
                 "the memo file is missing (a field is memo or byte-set)");
    return;
  }
  FileError error = memo->Length(&report->memo_length);
  char bytes[kMemoHeaderSize];
  size_t done = 0;
  if (error == FileError::kNone) error = memo->ReadAt(0, bytes, sizeof bytes, &done);
  if (error != FileError::kNone || done != sizeof bytes) {
    sink->Damage(Repair::kUnmendable, "memo",
                 "memo file: shorter than its 32-byte header, or unreadable");
    return;
  }
  report->memo_present = true;
  MemoHeader& header = report->walk.header;
  DecodeMemoHeader(bytes, &header);
  if (std::memcmp(header.magic, kMemoMagic, 4) != 0) {
    sink->Damage(Repair::kUnmendable, "memo",
                 "memo file: magic " + MagicText(header.magic) + ", not \"WEDT\"");
    return;
  }
  report->memo_header_read = true;
  if (header.version != report->header.version) {
    sink->Damage(Repair::kUnmendable, "memo",
                 "memo file: version " + Hex32(header.version) +
                     " differs from the record file's " + Hex32(report->header.version));
  }
  report->walk.whole_blocks = report->memo_length / kMemoBlockSize;
  const uint64_t tail = report->memo_length % kMemoBlockSize;
  if (tail != 0) {
    sink->Note("memo file: ends with " + Plural(static_cast<int64_t>(tail), "byte", "bytes") +
               " of a partial block");
  }
  for (const FieldDescriptor& field : report->fields) {
    report->walk.field_names.push_back(GbkToUtf8(field.Name()));
  }
  // The walk looks at a block's links and used count only, and visits nearly every block of a
  // sound file in chain order, which need not be the order of the file: the links of every block
  // are read first, front to back in large reads, and the walk takes them from memory. Should
  // that fail, each block is read as the walk comes to it.
  std::string links;
  const bool all_links = ReadAllBlockLinks(*memo, report->walk.whole_blocks, &links);
  WalkMemoChains(
      report->walk,
      [memo, &links, all_links](uint32_t block, char* out) {
        if (all_links) {
          if (block >= links.size() / kMemoBlockHeaderSize) return false;
          std::memcpy(out, links.data() + size_t{block} * kMemoBlockHeaderSize,
                      kMemoBlockHeaderSize);
          return true;
        }
        size_t got = 0;
        return memo->ReadAt(uint64_t{block} * kMemoBlockSize, out, kMemoBlockHeaderSize, &got) ==
                   FileError::kNone &&
               got == kMemoBlockHeaderSize;
      },
      &report->chains);
  for (Finding& finding : report->chains.findings) {
    if (finding.kind == FindingKind::kDamage && finding.mendable) {
      report->memo_bookkeeping_off = true;
    }
  }
  report->memo_tidyable =
      report->chains.leaked_blocks > 0 || report->chains.trailing_free_blocks > 0 || tail != 0 ||
      report->walk.whole_blocks > static_cast<uint64_t>(std::max<int32_t>(header.block_count, 0));
}

}  // namespace

void AnalyzeFiles(const File& record, const File* memo, const std::string* password,
                  CheckReport* report) {
  *report = CheckReport{};
  {
    FindingSink sink(&report->findings);
    FileError error = record.Length(&report->record_file_length);
    if (error != FileError::kNone) {
      report->code = FileErrorCode(error, kOpenFailed);
      return;
    }
    const uint64_t length = report->record_file_length;

    // R1.
    char bytes[kRecordHeaderSize];
    size_t done = 0;
    error = record.ReadAt(0, bytes, sizeof bytes, &done);
    if (error != FileError::kNone) {
      report->code = FileErrorCode(error, kOpenFailed);
      return;
    }
    if (done != sizeof bytes) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header",
                  "not a database file: " + Plural(static_cast<int64_t>(done), "byte", "bytes") +
                      ", shorter than the 112-byte header");
      return;
    }
    RecordHeader& header = report->header;
    DecodeRecordHeader(bytes, &header);
    if (!header.IsPlain() && !header.IsProtected()) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header",
                  "not a database file: magic " + MagicText(header.magic));
      return;
    }
    const bool password_fits =
        password == nullptr ||
        (header.IsProtected() ? DigestMatches(*password, header.DigestText()) : password->empty());
    if (!password_fits) {
      report->code = kWrongPassword;
      return;
    }
    if (header.version > kFormatVersion) {
      report->code = kVersionTooHigh;
      sink.Damage(Repair::kUnmendable, "header",
                  "version " + Hex32(header.version) + " is newer than this engine reads (" +
                      Hex32(kFormatVersion) + ")");
      return;
    }

    // R2.
    if (header.record_size <= 0) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header",
                  "record size " + Num(header.record_size) + " is not positive");
    }
    if (header.record_count < 0) {
      sink.Damage(Repair::kUnmendable, "header",
                  "the header counts " + Num(header.record_count) + " records, fewer than none");
    }
    char count_bytes[4];
    if (record.ReadAt(kFieldCountOffset, count_bytes, 4, &done) != FileError::kNone || done != 4) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header", "the field table is missing");
      return;
    }
    const int32_t field_count = DecodeInt32(count_bytes);
    if (field_count <= 0) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header",
                  "field count " + Num(field_count) + " is not positive");
      return;
    }
    report->records_start = RecordsStart(static_cast<uint64_t>(field_count));
    if (length < report->records_start) {
      report->code = kNotDatabaseFile;
      sink.Damage(Repair::kUnmendable, "header",
                  "the table of " + Plural(field_count, "field", "fields") +
                      " runs past the end of the file (" +
                      Plural(static_cast<int64_t>(length), "byte", "bytes") + ")");
      return;
    }
    std::string table;
    if (!ReadRecords(record, kFieldTableOffset, kDescriptorSize * static_cast<size_t>(field_count),
                     &table)) {
      report->code = kAllocationFailed;
      return;
    }
    report->fields.resize(static_cast<size_t>(field_count));
    for (size_t i = 0; i < report->fields.size(); ++i) {
      DecodeFieldDescriptor(table.data() + kDescriptorSize * i, &report->fields[i]);
      if (IsChainField(report->fields[i].type)) report->needs_memo = true;
    }

    // R3.
    CheckDescriptors(report->fields, header.record_size, &sink);
    if (header.record_size <= 0) return;

    // R4.
    const auto record_size = static_cast<uint64_t>(header.record_size);
    const uint64_t available = (length - report->records_start) / record_size;
    const uint64_t leftover = (length - report->records_start) % record_size;
    if (header.record_count < 0) {
      report->whole_records = static_cast<int64_t>(available);
    } else if (available < static_cast<uint64_t>(header.record_count)) {
      report->whole_records = static_cast<int64_t>(available);
      report->partial_record_bytes = leftover;
      std::string text = "the header counts " + Num(header.record_count) +
                         " records, the file holds " +
                         Plural(static_cast<int64_t>(available), "whole record", "whole records");
      if (leftover > 0) {
        text += " and " + Plural(static_cast<int64_t>(leftover), "byte", "bytes") + " of record " +
                Num(static_cast<int64_t>(available) + 1);
      }
      sink.Damage(leftover == 0 ? Repair::kMendable : Repair::kUnmendable, "record count", text);
      if (leftover == 0) report->mended_record_count = static_cast<int64_t>(available);
    } else {
      report->whole_records = header.record_count;
      const uint64_t end =
          report->records_start + record_size * static_cast<uint64_t>(header.record_count);
      if (length > end) {
        sink.Note(Plural(static_cast<int64_t>(length - end), "byte", "bytes") +
                  " after the last counted record (an open for writing cuts them)");
      }
    }

    // R5.
    EngineCode rc = CheckRecords(record, report, &sink);
    if (rc != kOk) {
      report->code = rc;
      return;
    }

    // M1..M5.
    if (report->needs_memo) CheckMemoFile(memo, report, &sink);
  }
  // The walk's findings after the record file's.
  for (Finding& finding : report->chains.findings) report->findings.push_back(finding);
}

// ---------------------------------------------------------------------------------------------
// Files opened without the engine.

std::string MemoPathFor(std::string_view record_full_path) {
  return MemoFileName(record_full_path);
}

DatabaseFiles::DatabaseFiles() : record_locks_(&record_, &policy_), memo_locks_(&memo_, &policy_) {}

EngineCode DatabaseFiles::Open(std::string_view full_path, platform::FileAccess access,
                               int32_t lock_wait_ms) {
  policy_.wait_ms = lock_wait_ms;
  record_path_ = std::string(full_path);
  memo_path_ = MemoPathFor(full_path);
  FileError error = File::Open(record_path_, access, platform::FileShare::kDenyNone,
                               platform::FileCreate::kOpenExisting, &record_);
  if (error != FileError::kNone) return FileErrorCode(error, kOpenFailed);
  error = File::Open(memo_path_, access, platform::FileShare::kDenyNone,
                     platform::FileCreate::kOpenExisting, &memo_);
  if (error == FileError::kNotFound) return kOk;
  if (error != FileError::kNone) {
    record_.Close();
    return FileErrorCode(error, kMemoReadFailed);
  }
  return kOk;
}

EngineCode DatabaseFiles::LockWhole(bool memo_too) {
  record_whole_ = std::make_unique<WholeFileLock>();
  EngineCode rc = record_whole_->Acquire(&record_locks_);
  if (rc != kOk || !memo_too || !memo_.IsOpen()) return rc;
  memo_whole_ = std::make_unique<WholeFileLock>();
  return memo_whole_->Acquire(&memo_locks_);
}

EngineCode DatabaseFiles::Unlock() {
  EngineCode rc = kOk;
  // The MemoFile's lock first: the reverse of the order taken.
  if (memo_whole_) rc = memo_whole_->Release();
  if (record_whole_) {
    EngineCode record_rc = record_whole_->Release();
    if (rc == kOk) rc = record_rc;
  }
  memo_whole_.reset();
  record_whole_.reset();
  return rc;
}

void DatabaseFiles::Analyze(const std::string& password, CheckReport* report) const {
  AnalyzeFiles(record_, memo_.IsOpen() ? &memo_ : nullptr, &password, report);
}

EngineCode ReadWalkedChain(const File& memo, uint32_t first, std::string* value) {
  value->clear();
  uint64_t length = 0;
  FileError error = memo.Length(&length);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  const uint64_t whole = length / kMemoBlockSize;
  char block[kMemoBlockSize];
  uint64_t visited = 0;
  for (uint32_t current = first; current != 0;) {
    if (current >= whole || ++visited >= whole) return kMemoAccessFailed;
    size_t done = 0;
    error = memo.ReadAt(uint64_t{current} * kMemoBlockSize, block, sizeof block, &done);
    if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
    if (done != sizeof block) return kMemoAccessFailed;
    BlockLinks links;
    DecodeBlockLinks(block, &links);
    if (links.used == 0 || links.used > kMemoBlockDataSize) return kMemoAccessFailed;
    if (!TryReserve(value, value->size() + links.used)) return kAllocationFailed;
    value->append(block + kMemoBlockHeaderSize, links.used);
    current = links.next;
  }
  return kOk;
}

// ---------------------------------------------------------------------------------------------
// Through an engine handle.

EngineCode CheckDatabase(DatabaseHandle* handle, CheckReport* report) {
  *report = CheckReport{};
  if (handle == nullptr || !handle->IsOpen()) return kNoDatabaseOpen;
  // Writers change records and chains only under record locks, which the whole-file lock keeps
  // out: the walk sees one consistent state.
  WholeFileLock whole;
  EngineCode rc = whole.Acquire(handle->locks());
  if (rc != kOk) return rc;
  File record;
  FileError error =
      File::Open(handle->full_path(), platform::FileAccess::kRead, platform::FileShare::kDenyNone,
                 platform::FileCreate::kOpenExisting, &record);
  if (error != FileError::kNone) return FileErrorCode(error, kOpenFailed);
  MemoFile* memo = handle->memo_file();
  AnalyzeFiles(record, memo != nullptr && memo->IsOpen() ? memo->file() : nullptr, nullptr, report);
  rc = whole.Release();
  return report->code != kOk ? report->code : rc;
}

EngineCode CheckDatabase(DatabaseHandle* handle, std::vector<std::string>* problems) {
  CheckReport report;
  EngineCode rc = CheckDatabase(handle, &report);
  for (const Finding& finding : report.findings) {
    if (finding.kind != FindingKind::kNote) problems->push_back(finding.text);
  }
  return rc;
}

}  // namespace memo::db
