#include "bench/memo_tables.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "bench/workload.h"
#include "db/create.h"
#include "db/database.h"
#include "db/engine_code.h"
#include "db/images.h"

namespace memo::bench {

const char kEntrySeparator[] =
    "||\xcc\xd8\xca\xe2\xb8\xfa\xbd\xf8\xcc\xf5\xc4\xbf\xb7\xd6\xb8\xee||";
const char kTimeSeparator[] =
    "||\xcc\xd8\xca\xe2\xb8\xfa\xbd\xf8\xca\xb1\xbc\xe4\xb7\xd6\xb8\xee||";

std::string FollowUpLog(int memo, int entries) {
  std::string log;
  for (int entry = 0; entry < entries; ++entry) {
    if (entry > 0) log += kEntrySeparator;
    char text[96];
    // "2014年7月%d日" then the entry text.
    std::snprintf(text, sizeof text,
                  "2014\xc4\xea"
                  "7\xd4\xc2%d\xc8\xd5",
                  10 + entry % 20);
    log += text;
    log += kTimeSeparator;
    std::snprintf(text, sizeof text, "called customer %d, entry %d", memo, entry + 1);
    log += text;
  }
  return log;
}

std::string MemoCategory(int memo) {
  char category[16];
  std::snprintf(category, sizeof category, "\xb7\xd6\xc0\xe0%02d", memo % kTableCategories);
  return category;
}

std::string MemoNote(int memo) { return MakeMemoText(200, memo); }

double MemoTime(int memo) { return 41830.375 + memo / 86400.0; }

bool MakeMemoTable(const std::string& path, int memos) {
  std::filesystem::remove(path);
  std::vector<db::FieldSpec> fields = {{kFieldCategory, db::kFieldText, 10},
                                       {kFieldTime, db::kFieldDateTime, 0},
                                       {kFieldNote, db::kFieldMemo, 0},
                                       {kFieldFollowUp, db::kFieldMemo, 0}};
  if (db::CreateDatabase(path, fields) != db::kOk) return false;
  std::unique_ptr<db::DatabaseHandle> handle;
  db::OpenOptions options;
  options.share = db::OpenShare::kDenyBoth;  // building the table only: nobody else has it open
  if (db::DatabaseHandle::Open(path, options, &handle) != db::kOk) return false;
  for (int i = 0; i < memos; ++i) {
    std::string category = MemoCategory(i);
    std::string note = MemoNote(i);
    std::string log = FollowUpLog(i, 3);
    TypedValue values[4];
    values[0].tag = TypeTag::kText;
    values[0].SetPointer(category.c_str());
    values[1].tag = TypeTag::kDateTime;
    values[1].SetDouble(MemoTime(i));
    values[2].tag = TypeTag::kText;
    values[2].SetPointer(note.c_str());
    values[3].tag = TypeTag::kText;
    values[3].SetPointer(log.c_str());
    if (handle->AddRecord(values, 4) != db::kOk) return false;
  }
  return true;
}

bool MakeRunDirectory(const std::string& dir, int memos) {
  if (!MakeMemoTable(dir + "/a.mcn", memos)) return false;
  std::error_code error;
  // The engine names the memo file "a.EDT"; the program's own bootstrap writes "a.edt".
  std::filesystem::rename(dir + "/a.EDT", dir + "/a.edt", error);
  return !error && WriteAccountsFile(dir + "/c.mcn");
}

bool WriteAccountsFile(const std::string& path) {
  std::string_view accounts = db::AccountsImageBytes();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  bool ok = out && std::fwrite(accounts.data(), 1, accounts.size(), out) == accounts.size();
  if (out) ok = std::fclose(out) == 0 && ok;
  return ok;
}

const std::string& MemoTable(int memos) {
  static std::map<int, std::string> made;
  auto it = made.find(memos);
  if (it == made.end()) {
    std::string path = WorkPath("grid_" + std::to_string(memos) + ".mcn");
    if (!MakeMemoTable(path, memos)) path.clear();
    sync();  // written back now, not during the rows that read it
    it = made.emplace(memos, path).first;
  }
  return it->second;
}

}  // namespace memo::bench
