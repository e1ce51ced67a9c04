// The single-instance marker standing in for the named event "LoxanRadioSingleEven": a lock file
// in the runtime folder, held (flock) for as long as the object lives. Another process that
// finds the lock held is a second instance. A file left behind by a crashed copy is not held,
// so it never keeps the player from starting.
// Threading: created and destroyed on the main thread.
#pragma once

#include <string>
#include <string_view>

class SingleInstance {
public:
    // Takes the marker `name`; AlreadyExisted() tells whether another live process holds it.
    explicit SingleInstance(std::u16string_view name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool AlreadyExisted() const { return already_existed_; }
    // False when the lock file could not be made at all (no runtime folder); start-up then runs
    // as the first instance.
    bool IsValid() const { return fd_ >= 0; }
    const std::string& LockPath() const { return path_; }

private:
    int fd_ = -1;
    bool already_existed_ = false;
    std::string path_;
};
