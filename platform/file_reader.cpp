#include "platform/file_reader.h"

#include <algorithm>

namespace tarnwick::os {

FilePrefix CheckedFileReader::ReadPrefix(const std::string& path, std::size_t count) {
    FilePrefix result;
    const std::unique_ptr<OpenFile> file = access_.Open(path, FileAccess::Sharing::Alone, result.fileSize);
    if (file == nullptr) {
        result.status = FileStatus::CannotOpen;
        return result;
    }
    result.bytes.resize(count);
    const auto got = file->ReadFully(reinterpret_cast<std::uint8_t*>(result.bytes.data()), count);
    if (!got) {
        result.bytes.clear();
        result.status = FileStatus::ReadError;
        return result;
    }
    result.bytes.resize(static_cast<std::size_t>(*got));
    result.status = FileStatus::Ok;
    return result;
}

LoadedFile CheckedFileReader::LoadWhole(const std::string& path, std::uint64_t sizeLimit) {
    LoadedFile result;
    const std::unique_ptr<OpenFile> file = access_.Open(path, FileAccess::Sharing::WithReaders, result.size);
    if (file == nullptr) {
        result.status = FileStatus::CannotOpen;
        return result;
    }
    if (result.size >= sizeLimit) {
        result.status = FileStatus::TooLarge;
        return result;
    }
    result.data = AllocateFileBlock(result.size);
    if (result.data == nullptr) {
        result.status = FileStatus::NoMemory;
        return result;
    }
    const auto got = file->ReadFully(result.data.get(), result.size);
    if (!got || *got != result.size) {
        result.data.reset();
        result.status = FileStatus::ReadError;
        return result;
    }
    result.status = FileStatus::Ok;
    return result;
}

std::optional<std::string> CheckedFileReader::ReadText(const std::string& path, std::size_t sizeLimit) {
    std::uint64_t size = 0;
    const std::unique_ptr<OpenFile> file = access_.Open(path, FileAccess::Sharing::WithWriters, size);
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeLimit)), '\0');
    const auto got = file->ReadFully(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    if (!got) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(*got));
    return text;
}

}  // namespace tarnwick::os
