#!/usr/bin/python3
"""A FUSE file system that mirrors a folder read-only, whose reads of chosen files block
until they are let go, as those of a network share or a USB disk that stops answering do.

    blocking-mirror.py FOLDER MOUNT_POINT CONTROL_FILE

Reads of a file whose name is a line of CONTROL_FILE block while it is; the first read
held of a file is announced on standard output as "held NAME".
"""
import errno
import os
import sys
import threading
import time

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's python3-fusepy
except ImportError:
    from fuse import FUSE, FuseOSError, Operations


class BlockingMirror(Operations):
    def __init__(self, folder, control):
        self.folder = folder
        self.control = control
        self.announced = set()
        self.lock = threading.Lock()

    def _path(self, path):
        return os.path.join(self.folder, path.lstrip('/'))

    def _blocked(self, name):
        try:
            with open(self.control) as lines:
                return name in (line.strip() for line in lines)
        except FileNotFoundError:
            return False

    def getattr(self, path, fh=None):
        try:
            status = os.lstat(self._path(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        keys = ('st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime', 'st_nlink',
                'st_size', 'st_uid')
        return {key: getattr(status, key) for key in keys}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._path(path))

    def statfs(self, path):
        status = os.statvfs(self._path(path))
        keys = ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree',
                'f_files', 'f_flag', 'f_frsize', 'f_namemax')
        return {key: getattr(status, key) for key in keys}

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        name = os.path.basename(path)
        while self._blocked(name):
            with self.lock:
                if name not in self.announced:
                    self.announced.add(name)
                    print('held', name, flush=True)
            time.sleep(0.02)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)


def main():
    folder, mount_point, control = sys.argv[1:4]
    # Every read goes to the mirror, none is answered from the kernel's cache: a read
    # held here is a reader held.
    FUSE(BlockingMirror(folder, control), mount_point, foreground=True, ro=True,
         direct_io=True, fsname='blocking-mirror')


if __name__ == '__main__':
    main()
