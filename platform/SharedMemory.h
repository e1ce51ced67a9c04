// Named shared memory of an exact size, standing in for the design's named file mappings
// ("LoxanRadioMappingFile", "Local\LoxanDataExchange"). Backed by POSIX shared memory whose name
// is kept apart per user and per runtime folder (see RuntimeFolder.h).
// Threading: one object is used by one thread at a time; the memory itself is shared between
// processes without a lock, writers order their writes before the message that announces them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class SharedMemory {
public:
    SharedMemory() = default;
    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Creates the block `name` of exactly `size` bytes (zero-filled) and maps it read/write, or
    // opens and maps it when it exists already (AlreadyExisted() then tells). False when it cannot
    // be made, or an existing block is smaller than `size`.
    bool Create(std::u16string_view name, size_t size);
    // Opens an existing block and maps its first `size` bytes read/write; false when it does not
    // exist or is smaller than `size`.
    bool Open(std::u16string_view name, size_t size);
    // Unmaps; the creator also removes the name, so a later Open fails as it does once the last
    // handle of a mapping is closed. Called by the destructor.
    void Close();

    void* data() const { return data_; }
    size_t size() const { return size_; }
    bool IsOpen() const { return data_ != nullptr; }
    bool AlreadyExisted() const { return already_existed_; }

    // The POSIX name used for `name` ("Local\X" and "X" are the same block).
    static std::string NativeName(std::u16string_view name);

private:
    bool Map(int fd, size_t size);

    void* data_ = nullptr;
    size_t size_ = 0;
    bool already_existed_ = false;
    bool owner_ = false;
    std::string native_name_;
};
