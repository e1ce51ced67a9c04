#include "platform/SharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RuntimeFolder.h"
#include "platform/Text.h"
#include "platform/Trace.h"

SharedMemory::~SharedMemory() { Close(); }

std::string SharedMemory::NativeName(std::u16string_view name) {
    if (name.substr(0, 6) == u"Local\\" || name.substr(0, 6) == u"Local/") name.remove_prefix(6);
    std::string out = SharedMemoryPrefix();
    for (char c : Utf16ToUtf8(name)) out += (c == '/' || c == '\\') ? '_' : c;
    return out;
}

bool SharedMemory::Map(int fd, size_t size) {
    struct stat st;
    if (fstat(fd, &st) != 0 || static_cast<size_t>(st.st_size) < size) {
        close(fd);
        return false;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED) return false;
    data_ = p;
    size_ = size;
    return true;
}

bool SharedMemory::Create(std::u16string_view name, size_t size) {
    Close();
    if (name.empty() || size == 0) return false;
    const std::string native = NativeName(name);
    int fd = shm_open(native.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
            close(fd);
            shm_unlink(native.c_str());
            return false;
        }
        owner_ = true;
    } else if (errno == EEXIST) {
        fd = shm_open(native.c_str(), O_RDWR, 0600);
        if (fd < 0) return false;
        already_existed_ = true;
    } else {
        LX_TRACE("shm_open failed for " + native);
        return false;
    }
    native_name_ = native;
    if (!Map(fd, size)) {
        LX_TRACE("cannot map " + native);
        Close();
        return false;
    }
    return true;
}

bool SharedMemory::Open(std::u16string_view name, size_t size) {
    Close();
    if (name.empty() || size == 0) return false;
    const std::string native = NativeName(name);
    const int fd = shm_open(native.c_str(), O_RDWR, 0600);
    if (fd < 0) return false;
    native_name_ = native;
    return Map(fd, size);
}

void SharedMemory::Close() {
    if (data_) munmap(data_, size_);
    if (owner_) shm_unlink(native_name_.c_str());
    data_ = nullptr;
    size_ = 0;
    already_existed_ = false;
    owner_ = false;
    native_name_.clear();
}
