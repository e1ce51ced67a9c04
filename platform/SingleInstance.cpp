#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RuntimeFolder.h"
#include "platform/Text.h"
#include "platform/Trace.h"

SingleInstance::SingleInstance(std::u16string_view name) {
    const std::string folder = RuntimeFolder();
    if (folder.empty()) {
        LX_TRACE("no runtime folder for the single-instance lock");
        return;
    }
    path_ = folder + "/" + Utf16ToUtf8(name) + ".lock";
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        LX_TRACE("cannot open " + path_);
        return;
    }
    int rc;
    do {
        rc = flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        already_existed_ = errno == EWOULDBLOCK;
        close(fd_);
        fd_ = -1;
    }
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) close(fd_);
}
