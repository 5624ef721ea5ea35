// The table's file: read in one go when the table is opened, written in one go (atomically) when
// it is closed after a change, and locked while the table is open.
#include <optional>
#include <string>
#include <utility>

#include "base/error.h"
#include "platform/platform.h"
#include "table_impl.h"

namespace tc::store {

namespace fs = std::filesystem;
using dbf::Column;

namespace {

TableError InUse(const std::string& name) {
  return TableError("La tabla " + name + " est\xE1 en uso por otro programa.", ErrorKind::InUse,
                    name);
}

platform::FileLock Lock(platform::FileSystem& files, const fs::path& path, const std::string& name,
                        bool exclusive) {
  try {
    auto lock = files.TryLock(path, exclusive);
    if (!lock) throw InUse(name);
    return std::move(*lock);
  } catch (const TableError&) {
    throw;
  } catch (const Error& error) {
    throw TableError("No se puede abrir la tabla " + name + ". " + error.what(), error.kind(),
                     name);
  }
}

// A table a run builds aside (one with a keeper) is saved without waiting for the disk: it goes
// there when the run commits it.
void SaveFile(platform::FileSystem& files, const fs::path& path, bool staged,
              std::initializer_list<std::string_view> pieces) {
  if (staged) {
    platform::WriteFileAtomicallyUnsynced(files, path, pieces);
  } else {
    platform::WriteFileAtomically(files, path, pieces);
  }
}

}  // namespace

// ---- Loading and saving ----------------------------------------------------------------------

void Table::Impl::Load(std::string bytes) {
  layout = dbf::ReadLayout(bytes, path);
  header.assign(bytes, 0, layout.header_length);
  data = std::move(bytes);
  data.erase(0, layout.header_length);
  data.resize(layout.records * layout.record_length);
  Ready();
}

void Table::Impl::Load(TableImage image) {
  layout = dbf::ReadLayout(image.header, path);
  header = std::move(image.header);
  data = std::move(image.records);
  layout.records = layout.record_length == 0 ? 0 : data.size() / layout.record_length;
  Ready();
}

void Table::Impl::Ready() {
  count = layout.records;
  live = 0;
  for (std::size_t i = 0; i < count; ++i) live += IsLive(i) ? 1 : 0;
  schema.clear();
  by_name.clear();
  named_columns.fill({});
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    schema.push_back(layout.columns[i].def);
    by_name.emplace(dbf::AsciiUpper(layout.columns[i].def.name), i);  // the first one wins
  }
  blank_record.assign(layout.record_length, ' ');
  for (const Column& column : layout.columns) dbf::FillBlank(column, blank_record.data());
  active = true;
  changed = false;
  pending = Pending::None;
  current = NextLive(0);
}

void Table::Impl::Save() {
  dbf::StampHeader(header, count, dbf::Today());
  static constexpr char kEnd[] = {static_cast<char>(dbf::kEndOfFile)};
#ifdef _WIN32
  // Windows will not simply replace a file that is open; the lock goes first there. (Another
  // table of this program holding the file does not stop the save; another program does.)
  lock.reset();
#endif
  try {
    SaveFile(*files, path, keeper != nullptr, {header, data, std::string_view(kEnd, 1)});
  } catch (const Error& error) {
    if (error.kind() == ErrorKind::InUse) throw InUse(name);
    throw TableError("No se puede guardar la tabla " + name + ". " + error.what(), error.kind(),
                     name);
  }
}

void Table::Impl::Close() {
  if (!active) return;
  pending = Pending::None;
  active = false;
  std::optional<TableError> failure;
  const bool saved = changed;
  if (changed) {
    try {
      Save();
    } catch (const TableError& error) {
      failure = error;
    }
  }
  lock.reset();
  if (keeper && !failure) {
    keeper(TableImage{std::move(header), std::move(data)}, saved);
  }
  keeper = nullptr;
  std::string().swap(data);
  DropIndexes();
  current = -1;
  changed = false;
  if (failure) throw *failure;
}

void Table::Impl::RequireAlone() {
  if (mode != OpenMode::Shared) return;
  // The table is reopened exclusively for the operation, which another holder prevents; the
  // deleted rows then stay in the file, skipped as before.
  lock.reset();
  bool alone = false;
  try {
    alone = files->TryLock(path, true).has_value();
  } catch (const Error&) {
  }
  try {
    lock = files->TryLock(path, false);
  } catch (const Error&) {
  }
  if (!alone) throw InUse(name);
}

// ---- Opening and closing ---------------------------------------------------------------------

Table Table::Create(const std::filesystem::path& path, const Schema& fields, ImageKeeper keeper,
                    platform::FileSystem& files) {
  auto impl = std::make_unique<Impl>();
  impl->keeper = std::move(keeper);
  impl->path = path;
  impl->files = &files;
  impl->name = dbf::TableNameFromPath(path);
  const fs::path dir = path.parent_path();
  if (!dir.empty() && !files.IsFolder(dir)) {
    throw TableError("No se puede crear la tabla " + impl->name + ": no existe la carpeta " +
                         platform::PathText(dir) + ".",
                     ErrorKind::InputMissing, impl->name);
  }
  // Another program holding the old file keeps it: the table cannot be replaced.
  if (files.IsFile(path)) Lock(files, path, impl->name, true);

  const std::string header = dbf::NewLevel7Header(fields, path, dbf::Today());
  std::string bytes = header + static_cast<char>(dbf::kEndOfFile);
  try {
    SaveFile(files, path, impl->keeper != nullptr, {bytes});
  } catch (const Error& failure) {
    if (failure.kind() == ErrorKind::InUse) throw InUse(impl->name);
    throw TableError("No se puede crear la tabla " + impl->name + ". " + failure.what(),
                     failure.kind(), impl->name);
  }
  impl->mode = OpenMode::Shared;
  impl->lock = Lock(files, path, impl->name, false);
  impl->Load(std::move(bytes));
  return Table(std::move(impl));
}

Table Table::Open(const std::filesystem::path& path, OpenMode mode, platform::FileSystem& files) {
  return Open(path, mode, {}, std::nullopt, files);
}

Table Table::Open(const std::filesystem::path& path, OpenMode mode, ImageKeeper keeper,
                  std::optional<TableImage> image, platform::FileSystem& files) {
  auto impl = std::make_unique<Impl>();
  impl->keeper = std::move(keeper);
  impl->path = path;
  impl->files = &files;
  impl->name = dbf::TableNameFromPath(path);
  impl->mode = mode;
  if (!files.IsFile(path)) {
    throw TableError("No se encuentra la tabla " + impl->name + ": no existe el archivo " +
                         platform::PathText(path) + ".",
                     ErrorKind::TableMissing, impl->name);
  }
  impl->lock = Lock(files, path, impl->name, mode == OpenMode::Exclusive);
  if (image) {
    impl->Load(std::move(*image));
    return Table(std::move(impl));
  }
  std::string bytes;
  try {
    bytes = files.ReadFile(path);
  } catch (const Error& failure) {
    throw TableError("No se puede abrir la tabla " + impl->name + ". " + failure.what(),
                     failure.kind(), impl->name);
  }
  impl->Load(std::move(bytes));
  return Table(std::move(impl));
}

void Table::Close() {
  if (impl_) impl_->Close();
}

}  // namespace tc::store
