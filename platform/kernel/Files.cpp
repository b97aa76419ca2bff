// SPDX-License-Identifier: MIT
// Files through POSIX descriptors behind Win32 file handles. Failures set
// the thread's last error to the Windows code nearest to the host's reason.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "LumoPlatform.h"
#include "common/HandleRegistry.h"

namespace {

struct FileObject {
  int fd = -1;
  bool canRead = false;
  bool canWrite = false;
};

// Immortal (HandleRegistry.h), so handles closed from static destructors
// still work.
constinit lumo::platform::HandleRegistry<HANDLE, FileObject*> files;

DWORD ErrorFromErrno(int error, bool creating) {
  switch (error) {
    case ENOENT:
      return creating ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
    case ENAMETOOLONG:
      return ERROR_INVALID_PARAMETER;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

int OpenRetrying(const char* name, int flags) {
  int fd;
  do {
    fd = open(name, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                   DWORD, HANDLE) {
  if (lpFileName == nullptr || *lpFileName == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const bool read = (dwDesiredAccess & GENERIC_READ) != 0;
  const bool write = (dwDesiredAccess & GENERIC_WRITE) != 0;
  const int access = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  int fd = -1;
  bool existed = false;
  bool creating = true;
  switch (dwCreationDisposition) {
    case CREATE_NEW:
      fd = OpenRetrying(lpFileName, access | O_CREAT | O_EXCL);
      break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: {
      // Tell a new file from an existing one: Windows reports the latter.
      fd = OpenRetrying(lpFileName, access | O_CREAT | O_EXCL);
      if (fd < 0 && errno == EEXIST) {
        existed = true;
        fd = OpenRetrying(lpFileName, access | (dwCreationDisposition == CREATE_ALWAYS ? O_TRUNC : 0));
      }
      break;
    }
    case OPEN_EXISTING:
      creating = false;
      fd = OpenRetrying(lpFileName, access);
      break;
    case TRUNCATE_EXISTING:
      creating = false;
      if (!write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      fd = OpenRetrying(lpFileName, access | O_TRUNC);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno, creating));
    return INVALID_HANDLE_VALUE;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto* file = new FileObject{fd, read, write};
  files.Set(file, file);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return file;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  FileObject* file = files.Find(hFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const auto* bytes = static_cast<const uint8_t*>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfBytesToWrite) {
    const ssize_t n = write(file->fd, bytes + done, nNumberOfBytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      SetLastError(n == 0 ? ERROR_DISK_FULL : ErrorFromErrno(errno, false));
      if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
  return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  FileObject* file = files.Find(hFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->canRead) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  auto* bytes = static_cast<uint8_t*>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfBytesToRead) {
    const ssize_t n = read(file->fd, bytes + done, nNumberOfBytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(ErrorFromErrno(errno, false));
      if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
      return FALSE;
    }
    if (n == 0) break;  // end of file: success with fewer bytes
    done += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
  FileObject* file = files.Take(hObject);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Data still in flight (a full disk on NFS, say) shows up here.
  const bool ok = close(file->fd) == 0 || errno == EINTR;
  const int error = errno;
  delete file;
  if (!ok) {
    SetLastError(ErrorFromErrno(error, false));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (lpFileName == nullptr || *lpFileName == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (unlink(lpFileName) != 0) {
    SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno, false));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (lpExistingFileName == nullptr || lpNewFileName == nullptr || *lpExistingFileName == '\0' ||
      *lpNewFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int result;
  if (dwFlags & MOVEFILE_REPLACE_EXISTING) {
    result = rename(lpExistingFileName, lpNewFileName);
  } else {
#if defined(RENAME_NOREPLACE)
    result = renameat2(AT_FDCWD, lpExistingFileName, AT_FDCWD, lpNewFileName, RENAME_NOREPLACE);
#else
    // A C library without the no-replace rename (the web's).
    result = -1;
    errno = ENOSYS;
#endif
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // File systems without the no-replace rename.
      struct stat info {};
      if (lstat(lpNewFileName, &info) == 0) {
        errno = EEXIST;
      } else {
        result = rename(lpExistingFileName, lpNewFileName);
      }
    }
  }
  if (result != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno, false));
    return FALSE;
  }
  if (dwFlags & MOVEFILE_WRITE_THROUGH) {
    // The rename is on disk once the containing folder is synced.
    std::string folder(lpNewFileName);
    const size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
      fsync(fd);
      close(fd);
    }
  }
  return TRUE;
}
