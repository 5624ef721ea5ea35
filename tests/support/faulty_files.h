// A file system for tests: every operation goes to the real one, after `before` has seen it
// ("read", "list", "write", "rename", "remove", "link", "mkdir", "rmdir", "mode", "lock", "sync"
// and the path; a write or rename that waits for a later sync is seen as any other).
// `before` may throw, as a full disk or a failing rename would. Given to one object, it leaves
// every other object of the test on the real file system.
#pragma once

#include <functional>
#include <string_view>

#include "platform/file_system.h"

namespace tc::test {

class FaultyFileSystem : public platform::FileSystem {
 public:
  using Before = std::function<void(std::string_view operation, const std::filesystem::path&)>;
  explicit FaultyFileSystem(Before before = {}) : before_(std::move(before)) {}
  void SetBefore(Before before) { before_ = std::move(before); }

  std::string ReadFile(const std::filesystem::path& file) override {
    See("read", file);
    return real_.ReadFile(file);
  }
  bool IsFile(const std::filesystem::path& path) override { return real_.IsFile(path); }
  bool IsFolder(const std::filesystem::path& path) override { return real_.IsFolder(path); }
  std::vector<std::filesystem::path> List(const std::filesystem::path& folder) override {
    See("list", folder);
    return real_.List(folder);
  }
  void WriteNewFile(const std::filesystem::path& file,
                    std::span<const std::string_view> pieces) override {
    See("write", file);
    real_.WriteNewFile(file, pieces);
  }
  void Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    See("rename", to);
    real_.Rename(from, to);
  }
  void WriteNewFileUnsynced(const std::filesystem::path& file,
                            std::span<const std::string_view> pieces) override {
    See("write", file);
    real_.WriteNewFileUnsynced(file, pieces);
  }
  void RenameUnsynced(const std::filesystem::path& from, const std::filesystem::path& to) override {
    See("rename", to);
    real_.RenameUnsynced(from, to);
  }
  void Sync(std::span<const std::filesystem::path> files) override {
    for (const std::filesystem::path& file : files) See("sync", file);
    real_.Sync(files);
  }
  bool Remove(const std::filesystem::path& file) override {
    See("remove", file);
    return real_.Remove(file);
  }
  bool Link(const std::filesystem::path& file, const std::filesystem::path& link) override {
    See("link", link);
    return real_.Link(file, link);
  }
  void CreateFolder(const std::filesystem::path& folder) override {
    See("mkdir", folder);
    real_.CreateFolder(folder);
  }
  void RemoveFolder(const std::filesystem::path& folder) override {
    See("rmdir", folder);
    real_.RemoveFolder(folder);
  }
  std::optional<platform::FileMode> Mode(const std::filesystem::path& file) override {
    return real_.Mode(file);
  }
  void SetMode(const std::filesystem::path& file, platform::FileMode mode) override {
    See("mode", file);
    real_.SetMode(file, mode);
  }
  bool IsReadOnly(const std::filesystem::path& file) override { return real_.IsReadOnly(file); }
  std::optional<platform::FileLock> TryLock(const std::filesystem::path& file, bool exclusive,
                                            bool create) override {
    See("lock", file);
    return real_.TryLock(file, exclusive, create);
  }

 private:
  void See(std::string_view operation, const std::filesystem::path& path) {
    if (before_) before_(operation, path);
  }

  platform::FileSystem& real_ = platform::RealFileSystem();
  Before before_;
};

}  // namespace tc::test
