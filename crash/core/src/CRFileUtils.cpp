#include <crash_core/CRFileUtils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Empties a directory; subdirectories are emptied and removed.
bool deleteContents(const char* path, bool removeSelf) {
    struct stat st {};
    if (lstat(path, &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return unlink(path) == 0;
    DIR* dir = opendir(path);
    if (!dir) return false;
    bool ok = true;
    char child[CRFU_MAX_PATH_LENGTH];
    while (dirent* entry = readdir(dir)) {
        if (isDotEntry(entry->d_name)) continue;
        size_t a = std::strlen(path), b = std::strlen(entry->d_name);
        if (a + 1 + b + 1 > sizeof child) {
            ok = false;
            continue;
        }
        std::memcpy(child, path, a);
        child[a] = '/';
        std::memcpy(child + a + 1, entry->d_name, b + 1);
        ok = deleteContents(child, true) && ok;
    }
    closedir(dir);
    if (removeSelf) ok = rmdir(path) == 0 && ok;
    return ok;
}

bool fill(CRBufferedReader* r) {
    if (r->dataStartPos > 0) {
        std::memmove(r->buffer, r->buffer + r->dataStartPos, static_cast<size_t>(r->dataEndPos - r->dataStartPos));
        r->dataEndPos -= r->dataStartPos;
        r->dataStartPos = 0;
    }
    while (r->dataEndPos < r->bufferLength) {
        ssize_t n = read(r->fd, r->buffer + r->dataEndPos, static_cast<size_t>(r->bufferLength - r->dataEndPos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        r->dataEndPos += static_cast<int>(n);
        return true;
    }
    return true;
}

}  // namespace

extern "C" {

const char* crfu_lastPathEntry(const char* path) {
    if (!path) return nullptr;
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool crfu_writeBytesToFD(int fd, const char* bytes, int length) {
    while (length > 0) {
        ssize_t n = write(fd, bytes, static_cast<size_t>(length));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<int>(n);
    }
    return true;
}

bool crfu_readEntireFile(const char* path, char** data, int* length, int maxLength) {
    *data = nullptr;
    if (length) *length = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        close(fd);
        return false;
    }
    off_t size = st.st_size;
    if (maxLength > 0 && size > maxLength) {
        if (lseek(fd, size - maxLength, SEEK_SET) < 0) {
            close(fd);
            return false;
        }
        size = maxLength;
    }
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!buffer) {
        close(fd);
        return false;
    }
    off_t got = 0;
    while (got < size) {
        ssize_t n = read(fd, buffer + got, static_cast<size_t>(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += n;
    }
    close(fd);
    if (got != size) {
        std::free(buffer);
        return false;
    }
    buffer[size] = '\0';
    *data = buffer;
    if (length) *length = static_cast<int>(size);
    return true;
}

bool crfu_makePath(const char* absolutePath) {
    char path[CRFU_MAX_PATH_LENGTH];
    size_t n = std::strlen(absolutePath);
    if (n == 0 || n >= sizeof path) return false;
    std::memcpy(path, absolutePath, n + 1);
    for (size_t i = 1; i <= n; ++i) {
        if (path[i] != '/' && path[i] != '\0') continue;
        char saved = path[i];
        path[i] = '\0';
        if (mkdir(path, 0700) != 0 && errno != EEXIST) return false;
        path[i] = saved;
    }
    struct stat st {};
    return stat(absolutePath, &st) == 0 && S_ISDIR(st.st_mode);
}

bool crfu_removeFile(const char* path, bool mustExist) {
    // Whether the file had to exist only changes what a caller logs: missing is not removed.
    (void)mustExist;
    return path && (unlink(path) == 0 || rmdir(path) == 0);
}

bool crfu_deleteContentsOfPath(const char* path) {
    if (!path) return false;
    const char* base = crfu_lastPathEntry(path);
    if (isDotEntry(base)) return false;
    return deleteContents(path, false);
}

bool crfu_openBufferedWriter(CRBufferedWriter* w, const char* path, char* buffer, int length) {
    w->buffer = buffer;
    w->bufferLength = length;
    w->position = 0;
    w->fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    return w->fd >= 0;
}

bool crfu_flushBufferedWriter(CRBufferedWriter* w) {
    if (w->fd < 0) return false;
    if (w->position > 0 && !crfu_writeBytesToFD(w->fd, w->buffer, w->position)) return false;
    w->position = 0;
    return true;
}

void crfu_closeBufferedWriter(CRBufferedWriter* w) {
    if (w->fd < 0) return;
    crfu_flushBufferedWriter(w);
    close(w->fd);
    w->fd = -1;
}

bool crfu_writeBufferedWriter(CRBufferedWriter* w, const char* data, int length) {
    if (length > w->bufferLength - w->position && !crfu_flushBufferedWriter(w)) return false;
    if (length > w->bufferLength) return crfu_writeBytesToFD(w->fd, data, length);
    std::memcpy(w->buffer + w->position, data, static_cast<size_t>(length));
    w->position += length;
    return true;
}

bool crfu_openBufferedReader(CRBufferedReader* r, const char* path, char* buffer, int length) {
    r->buffer = buffer;
    r->bufferLength = length - 1;
    r->dataStartPos = 0;
    r->dataEndPos = 0;
    r->fd = open(path, O_RDONLY | O_CLOEXEC);
    if (r->fd < 0 || r->bufferLength < 1) return false;
    buffer[r->bufferLength] = '\0';
    fill(r);
    return true;
}

void crfu_closeBufferedReader(CRBufferedReader* r) {
    if (r->fd >= 0) close(r->fd);
    r->fd = -1;
}

bool crfu_readBufferedReaderUntilChar(CRBufferedReader* r, int ch, char* dst, int* length) {
    int copied = 0;
    int limit = *length;
    for (;;) {
        while (r->dataStartPos < r->dataEndPos && copied < limit) {
            char c = r->buffer[r->dataStartPos++];
            dst[copied++] = c;
            if (c == static_cast<char>(ch)) {
                *length = copied;
                return true;
            }
        }
        if (copied >= limit || !fill(r) || r->dataStartPos >= r->dataEndPos) break;
    }
    *length = copied;
    return false;
}

}  // extern "C"
