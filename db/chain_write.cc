#include "db/chain_write.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "db/buffer.h"
#include "db/coding.h"
#include "db/memo_file.h"

namespace memo::db {
namespace {

using platform::FileError;

constexpr uint64_t BlockOffset(uint32_t block) { return uint64_t{block} * kMemoBlockSize; }

// At most this many consecutive blocks go to the file with one call: 64 KB.
constexpr size_t kMaxRunBlocks = 128;

bool SameCounts(const MemoHeader& a, const MemoHeader& b) {
  return a.block_count == b.block_count && a.free_count == b.free_count &&
         a.free_head == b.free_head;
}

// A header that lists no free blocks: while it is on disk every free block is leaked, so the
// links of those blocks can change without any reader or writer seeing a half-changed list.
MemoHeader WithEmptyList(MemoHeader header) {
  header.free_head = 0;
  header.free_count = 0;
  return header;
}

}  // namespace

ChainWrite::ChainWrite(MemoFile* memo) : memo_(memo), locks_(memo->locks()) {}

ChainWrite::~ChainWrite() {
  IgnoreCode(ReleaseLocks());
  // Hand the buffers back for the next write.
  MemoFile::Scratch* scratch = memo_->scratch();
  for (Planned& chain : chains_) {
    if (chain.images.capacity() <= MemoFile::kScratchKept && scratch->images.size() < 4) {
      scratch->images.push_back(std::move(chain.images));
    }
    if (chain.blocks.capacity() * sizeof(uint32_t) <= MemoFile::kScratchKept &&
        scratch->block_lists.size() < 4) {
      chain.blocks.clear();
      scratch->block_lists.push_back(std::move(chain.blocks));
    }
  }
  if (scratch->encoded.capacity() > MemoFile::kScratchKept) std::string().swap(scratch->encoded);
}

EngineCode ChainWrite::ReleaseLocks() {
  EngineCode rc = kOk;
  for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
    KeepFirst(&rc, locks_->Unlock(BlockOffset(*it)));
  }
  held_.clear();
  KeepFirst(&rc, header_lock_.Release());
  return rc;
}

EngineCode ChainWrite::LockHeader() {
  if (header_read_) return kOk;
  // Another writer holds the header only while it plans and writes its blocks, and waits for
  // nothing meanwhile: waiting for it is safe, and failing at once would drop this write.
  EngineCode rc = header_lock_.Acquire(locks_, 0, locks_->busy_wait());
  if (rc != kOk) return rc;
  rc = memo_->ReadHeader(&as_read_);
  if (rc != kOk) return rc;
  if (!as_read_.IsValid()) return kMemoAccessFailed;
  allocated_ = as_read_;
  final_ = as_read_;
  on_disk_ = as_read_;
  on_disk_known_ = true;
  header_read_ = true;
  return kOk;
}

EngineCode ChainWrite::Hold(uint32_t block) {
  if (locks_->lock_free()) return kOk;
  EngineCode rc = locks_->Lock(BlockOffset(block));
  if (rc == kOk) held_.push_back(block);
  return rc;
}

bool ChainWrite::TryHold(uint32_t block) {
  if (locks_->lock_free()) return true;
  if (locks_->Lock(BlockOffset(block), kNoLockWait) != kOk) return false;
  held_.push_back(block);
  return true;
}

EngineCode ChainWrite::ReadLinks(uint32_t block, BlockLinks* links) {
  char bytes[kMemoBlockHeaderSize];
  size_t done = 0;
  FileError error = memo_->file()->ReadAt(BlockOffset(block), bytes, sizeof bytes, &done);
  if (error != FileError::kNone) return FileErrorCode(error, kMemoAccessFailed);
  if (done != sizeof bytes) return kMemoAccessFailed;
  DecodeBlockLinks(bytes, links);
  return kOk;
}

EngineCode ChainWrite::AllocatedLinks(uint32_t block, BlockLinks* links) {
  if (new_head_ != 0 && block == new_head_) {
    *links = new_head_links_;
    links->prev = 0;
    return kOk;
  }
  return ReadLinks(block, links);
}

EngineCode ChainWrite::FinalLinks(uint32_t block, BlockLinks** links) {
  auto it = final_links_.find(block);
  if (it == final_links_.end()) {
    if (block == 0 || block >= static_cast<uint32_t>(allocated_.block_count)) {
      return kMemoAccessFailed;
    }
    BlockLinks read;
    EngineCode rc = Hold(block);
    if (rc == kOk) rc = AllocatedLinks(block, &read);
    if (rc != kOk) return rc;
    if (read.used != 0) return kMemoAccessFailed;  // a list link that leads to a used block
    it = final_links_.emplace(block, read).first;
    touched_.insert(block);
  }
  *links = &it->second;
  return kOk;
}

EngineCode ChainWrite::Rewrite(uint32_t old_first, std::string_view value, uint32_t* new_first) {
  *new_first = 0;
  const uint64_t need = BlocksForBytes(value.size());
  if (need > static_cast<uint64_t>(INT32_MAX)) return kMemoAccessFailed;
  Planned chain;
  chain.value = value;
  MemoFile::Scratch* scratch = memo_->scratch();
  if (!scratch->images.empty()) {
    chain.images = std::move(scratch->images.back());
    scratch->images.pop_back();
  }
  std::vector<uint32_t> old_chain;
  if (!scratch->block_lists.empty()) {
    old_chain = std::move(scratch->block_lists.back());
    scratch->block_lists.pop_back();
  }
  EngineCode rc =
      memo_->WalkChain(old_first, &old_chain, nullptr, static_cast<size_t>(need), &chain.images);
  if (rc != kOk) return rc;
  // Every old block is written: in place when reused, with free-list links when surplus.
  for (uint32_t block : old_chain) {
    rc = Hold(block);
    if (rc != kOk) return rc;
  }
  chain.reused = static_cast<size_t>(std::min<uint64_t>(need, old_chain.size()));
  if (need != old_chain.size()) {
    rc = LockHeader();
    if (rc != kOk) return rc;
    // A chain through blocks the header does not count (bytes past the end mean nothing) could
    // be handed out again as new blocks.
    for (const uint32_t block : old_chain) {
      if (block >= static_cast<uint32_t>(as_read_.block_count)) return kMemoAccessFailed;
    }
  }
  if (old_chain.size() > need) {
    std::vector<uint32_t> surplus(old_chain.begin() + static_cast<ptrdiff_t>(need),
                                  old_chain.end());
    for (const uint32_t block : surplus) {
      if (freed_.count(block) != 0) return kMemoAccessFailed;
    }
    freed_.insert(surplus.begin(), surplus.end());
    releases_.push_back(std::move(surplus));
  }
  // The new chain begins with the old one's first blocks.
  chain.blocks.swap(old_chain);
  chain.blocks.resize(chain.reused);
  while (chain.blocks.size() < need) {
    uint32_t block = 0;
    if (allocated_.free_head != 0) {
      block = static_cast<uint32_t>(allocated_.free_head);
      BlockLinks links;
      rc = Hold(block);
      if (rc == kOk) rc = ReadLinks(block, &links);
      if (rc != kOk) return rc;
      // A free list that loops or leads to a used block must not hand a block out twice.
      if (links.used != 0 || links.next >= static_cast<uint32_t>(allocated_.block_count) ||
          !taken_.insert(block).second) {
        return kMemoAccessFailed;
      }
      taken_links_.emplace_back(block, links);
      allocated_.free_head = static_cast<int32_t>(links.next);
      allocated_.free_count = std::max(0, allocated_.free_count - 1);
    } else {
      if (allocated_.block_count == INT32_MAX) return kMemoAccessFailed;
      block = static_cast<uint32_t>(allocated_.block_count++);
      rc = Hold(block);
      if (rc != kOk) return rc;
    }
    chain.blocks.push_back(block);
  }
  *new_first = need == 0 ? 0 : chain.blocks[0];
  chains_.push_back(std::move(chain));
  return kOk;
}

EngineCode ChainWrite::Release(uint32_t first) {
  std::vector<uint32_t> chain;
  EngineCode rc = memo_->WalkChain(first, &chain, nullptr, 0, nullptr);
  if (rc != kOk || chain.empty()) return rc;
  // Two records naming one chain (a damaged file) must not put its blocks on the list twice.
  for (uint32_t block : chain) {
    if (freed_.count(block) != 0) return kMemoAccessFailed;
  }
  for (uint32_t block : chain) {
    rc = Hold(block);
    if (rc != kOk) return rc;
  }
  freed_.insert(chain.begin(), chain.end());
  rc = LockHeader();
  if (rc != kOk) return rc;
  for (const uint32_t block : chain) {
    if (block >= static_cast<uint32_t>(as_read_.block_count)) return kMemoAccessFailed;
  }
  releases_.push_back(std::move(chain));
  return kOk;
}

EngineCode ChainWrite::PlanReleases() {
  final_ = allocated_;
  // Taking part of the free list leaves a new head whose back link must become 0.
  if (!taken_.empty() && allocated_.free_head != 0) {
    new_head_ = static_cast<uint32_t>(allocated_.free_head);
    EngineCode rc = Hold(new_head_);
    if (rc == kOk) rc = ReadLinks(new_head_, &new_head_links_);
    if (rc != kOk) return rc;
    if (new_head_links_.used != 0) return kMemoAccessFailed;
  }
  if (releases_.empty()) return kOk;

  // Each run joins the front of the list in turn, keeping its order.
  const uint32_t last_block = static_cast<uint32_t>(allocated_.block_count - 1);
  bool frees_last = false;
  for (const std::vector<uint32_t>& run : releases_) {
    const uint32_t head = static_cast<uint32_t>(final_.free_head);
    for (size_t i = 0; i < run.size(); ++i) {
      BlockLinks links;
      links.prev = i == 0 ? 0 : run[i - 1];
      links.next = i + 1 < run.size() ? run[i + 1] : head;
      links.used = 0;
      final_links_[run[i]] = links;
      if (run[i] == last_block) frees_last = true;
    }
    if (head != 0) {
      BlockLinks* head_links = nullptr;
      EngineCode rc = FinalLinks(head, &head_links);
      if (rc != kOk) return rc;
      head_links->prev = run.back();
    }
    final_.free_head = static_cast<int32_t>(run.front());
    final_.free_count += static_cast<int32_t>(run.size());
  }
  return frees_last ? PlanTrim() : kOk;
}

EngineCode ChainWrite::OnFinalList(uint32_t block, const BlockLinks& links, bool* listed) {
  // Walk the back links to the head; every step must be matched by the forward link. A block
  // that a stopped writer leaked keeps the links it had, so its links alone prove nothing.
  *listed = false;
  uint32_t current = block;
  BlockLinks current_links = links;
  for (int64_t steps = 0; steps <= static_cast<int64_t>(final_.free_count); ++steps) {
    if (current_links.prev == 0) {
      *listed = static_cast<uint32_t>(final_.free_head) == current;
      return kOk;
    }
    const uint32_t prev = current_links.prev;
    if (prev >= static_cast<uint32_t>(allocated_.block_count)) return kOk;
    BlockLinks prev_links;
    auto it = final_links_.find(prev);
    if (it != final_links_.end()) {
      prev_links = it->second;
    } else {
      // Free blocks change only under the header byte, which this write holds.
      EngineCode rc = AllocatedLinks(prev, &prev_links);
      if (rc != kOk) return rc;
    }
    if (prev_links.next != current || prev_links.used != 0) return kOk;
    current = prev;
    current_links = prev_links;
  }
  return kOk;
}

EngineCode ChainWrite::PlanTrim() {
  // Walk down from the last block while it is free: unlink it from the list (or, leaked, just
  // drop it), then cut the file after the last block still in use.
  int64_t last = allocated_.block_count - 1;
  for (; last >= 1; --last) {
    const uint32_t block = static_cast<uint32_t>(last);
    BlockLinks links;
    auto it = final_links_.find(block);
    const bool known = it != final_links_.end();  // released, or on the list and touched
    if (taken_.count(block) != 0) break;          // free on disk, but a new chain's from now on
    if (known) {
      links = it->second;
    } else {
      // Someone else holding the block is reading or writing it: it is in use.
      if (!TryHold(block)) break;
      EngineCode rc = AllocatedLinks(block, &links);
      if (rc != kOk) return rc;
    }
    if (links.used != 0) break;
    bool listed = known;
    if (!known) {
      EngineCode rc = OnFinalList(block, links, &listed);
      if (rc != kOk) return rc;
    }
    if (listed) {
      const uint32_t count = static_cast<uint32_t>(allocated_.block_count);
      if (links.prev >= count || links.next >= count) return kMemoAccessFailed;
      if (links.prev != 0) {
        BlockLinks* prev = nullptr;
        EngineCode rc = FinalLinks(links.prev, &prev);
        if (rc != kOk) return rc;
        prev->next = links.next;
      } else {
        final_.free_head = static_cast<int32_t>(links.next);
      }
      if (links.next != 0) {
        BlockLinks* next = nullptr;
        EngineCode rc = FinalLinks(links.next, &next);
        if (rc != kOk) return rc;
        next->prev = links.prev;
      }
      final_.free_count = std::max(0, final_.free_count - 1);
    }
    final_links_.erase(block);
    touched_.erase(block);
  }
  final_.block_count = static_cast<int32_t>(last + 1);
  trim_ = final_.block_count < allocated_.block_count;
  return kOk;
}

namespace {

void EncodeCounts(const MemoHeader& header, char* bytes) {
  EncodeInt32(bytes, header.block_count);
  EncodeInt32(bytes + 4, header.free_count);
  EncodeInt32(bytes + 8, header.free_head);
}

}  // namespace

EngineCode ChainWrite::WriteHeader(const MemoHeader& header) {
  char bytes[12], old[12];
  EncodeCounts(header, bytes);
  EncodeCounts(on_disk_, old);
  EngineCode rc = memo_->journal()->Overwrite(JournalTarget::kMemoFile, memo_->file(),
                                              kMemoBlockCountOffset, bytes, sizeof bytes,
                                              on_disk_known_ ? old : nullptr, kMemoAccessFailed);
  on_disk_known_ = rc == kOk;
  if (rc == kOk) on_disk_ = header;
  return rc;
}

EngineCode ChainWrite::WriteBackLink(uint32_t block, uint32_t prev) {
  char bytes[4];
  EncodeFixed32(bytes, prev);
  return memo_->journal()->Overwrite(JournalTarget::kMemoFile, memo_->file(),
                                     BlockOffset(block) + kBlockPrevOffset, bytes, sizeof bytes,
                                     nullptr, kMemoAccessFailed);
}

EngineCode ChainWrite::WriteLinks(uint32_t block, const BlockLinks& links) {
  char bytes[kMemoBlockHeaderSize];
  EncodeBlockLinks(links, bytes);
  return memo_->journal()->WriteFresh(JournalTarget::kMemoFile, memo_->file(), BlockOffset(block),
                                      bytes, sizeof bytes, kMemoAccessFailed);
}

EngineCode ChainWrite::WriteRuns(const std::pair<uint32_t, const char*>* blocks, size_t count,
                                 Placement placement) {
  Journal* journal = memo_->journal();
  for (size_t start = 0; start < count;) {
    size_t end = start + 1;
    while (end < count && end - start < kMaxRunBlocks &&
           blocks[end].first == blocks[end - 1].first + 1 &&
           blocks[end].second == blocks[end - 1].second + kMemoBlockSize) {
      ++end;
    }
    const uint64_t offset = BlockOffset(blocks[start].first);
    const size_t bytes = (end - start) * kMemoBlockSize;
    EngineCode rc =
        placement == Placement::kInPlace
            ? journal->Overwrite(JournalTarget::kMemoFile, memo_->file(), offset,
                                 blocks[start].second, bytes, nullptr, kMemoAccessFailed)
            : journal->WriteFresh(JournalTarget::kMemoFile, memo_->file(), offset,
                                  blocks[start].second, bytes, kMemoAccessFailed);
    if (rc != kOk) return rc;
    start = end;
  }
  return kOk;
}

EngineCode ChainWrite::WriteBlocks() {
  if (!prepared_) {
    EngineCode rc = PlanReleases();
    if (rc != kOk) return rc;
    prepared_ = true;
  }
  const uint32_t old_count = static_cast<uint32_t>(as_read_.block_count);

  // Every block to write, encoded once, in the order they go out: past the old end, taken from
  // the free list, reused.
  size_t total = 0;
  for (const Planned& chain : chains_) total += chain.blocks.size();
  std::string& encoded = memo_->scratch()->encoded;
  if (encoded.size() < total * kMemoBlockSize && !TryResize(&encoded, total * kMemoBlockSize)) {
    return kAllocationFailed;
  }
  std::vector<std::pair<uint32_t, const char*>>& writes = memo_->scratch()->writes;
  writes.clear();
  size_t taken_from = 0, reused_from = 0;
  for (int kind = 0; kind < 3; ++kind) {
    if (kind == 1) taken_from = writes.size();
    if (kind == 2) reused_from = writes.size();
    size_t at = 0;
    for (const Planned& chain : chains_) {
      for (size_t i = 0; i < chain.blocks.size(); ++i, ++at) {
        const uint32_t block = chain.blocks[i];
        const int block_kind = i < chain.reused ? 2 : (header_read_ && block >= old_count ? 0 : 1);
        if (block_kind != kind) continue;
        char* bytes = encoded.data() + at * kMemoBlockSize;
        EncodeChainBlock(chain.value, i, i == 0 ? 0 : chain.blocks[i - 1],
                         i + 1 < chain.blocks.size() ? chain.blocks[i + 1] : 0, bytes);
        // A reused block that already holds exactly these bytes stays as it is.
        if (kind == 2 &&
            std::memcmp(bytes, chain.images.data() + i * kMemoBlockSize, kMemoBlockSize) == 0) {
          continue;
        }
        writes.emplace_back(block, bytes);
      }
    }
  }
  const auto* const all = writes.data();

  if (taken_from > 0) {
    appended_ = true;
    EngineCode rc = WriteRuns(all, taken_from, Placement::kFresh);
    if (rc != kOk) return rc;
  }
  if (header_read_ && !SameCounts(allocated_, as_read_)) {
    if (new_head_ != 0) {
      EngineCode rc = WriteHeader(WithEmptyList(as_read_));
      if (rc != kOk) return rc;
      header_state_ = HeaderState::kEmptyList;
      rc = WriteBackLink(new_head_, 0);
      if (rc != kOk) return rc;
      head_link_cleared_ = true;
    }
    EngineCode rc = WriteHeader(allocated_);
    if (rc != kOk) return rc;
    header_state_ = HeaderState::kAllocated;
  }
  EngineCode rc = WriteRuns(all + taken_from, reused_from - taken_from, Placement::kFresh);
  if (rc != kOk) return rc;
  if (reused_from < writes.size()) {
    reused_written_ = true;
    rc = WriteRuns(all + reused_from, writes.size() - reused_from, Placement::kInPlace);
    if (rc != kOk) return rc;
  }
  return kOk;
}

EngineCode ChainWrite::Finish() {
  if (!prepared_) return kOk;
  const bool through_empty_list = !touched_.empty();
  if (through_empty_list) {
    EngineCode rc = WriteHeader(WithEmptyList(allocated_));
    if (rc != kOk) return rc;
  }
  // No list reaches these blocks now (released ones are on no chain since the commit; listed
  // ones are off the list while the header lists none).
  for (const auto& [block, links] : final_links_) {
    EngineCode rc = WriteLinks(block, links);
    if (rc != kOk) return rc;
  }
  if (through_empty_list || !SameCounts(final_, allocated_)) {
    EngineCode rc = WriteHeader(final_);
    if (rc != kOk) return rc;
  }
  if (trim_) {
    return memo_->journal()->SetLength(JournalTarget::kMemoFile, memo_->file(),
                                       BlockOffset(static_cast<uint32_t>(final_.block_count)),
                                       kMemoAccessFailed);
  }
  return kOk;
}

void ChainWrite::Undo() {
  // The reused blocks first: with their old bytes back every old chain is whole again.
  if (reused_written_) {
    std::vector<std::pair<uint32_t, const char*>> images;
    for (const Planned& chain : chains_) {
      for (size_t i = 0; i < chain.reused; ++i) {
        images.emplace_back(chain.blocks[i], chain.images.data() + i * kMemoBlockSize);
      }
    }
    IgnoreCode(WriteRuns(images.data(), images.size(), Placement::kInPlace));
  }
  // Then the free list and the counts, each step leaving a sound file if the next one fails.
  if (header_state_ == HeaderState::kEmptyList && !head_link_cleared_) {
    if (WriteHeader(as_read_) == kOk) header_state_ = HeaderState::kAsRead;
  } else if (header_state_ != HeaderState::kAsRead) {
    bool ok = true;
    for (const auto& [block, links] : taken_links_) {  // off the list: nobody sees them
      ok = WriteLinks(block, links) == kOk;
      if (!ok) break;
    }
    if (ok && head_link_cleared_) {
      if (header_state_ == HeaderState::kAllocated) {
        ok = WriteHeader(WithEmptyList(allocated_)) == kOk;
        if (ok) header_state_ = HeaderState::kEmptyList;
      }
      ok = ok && WriteBackLink(new_head_, new_head_links_.prev) == kOk;
      if (ok) head_link_cleared_ = false;
    }
    if (ok && WriteHeader(as_read_) == kOk) header_state_ = HeaderState::kAsRead;
  }
  // Blocks past the old end mean nothing once the header no longer counts them.
  if (appended_ && header_state_ == HeaderState::kAsRead) {
    IgnoreCode(memo_->journal()->SetLength(JournalTarget::kMemoFile, memo_->file(),
                                           BlockOffset(static_cast<uint32_t>(as_read_.block_count)),
                                           kMemoAccessFailed));
  }
}

}  // namespace memo::db
