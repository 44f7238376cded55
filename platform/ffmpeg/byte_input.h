#pragma once

// Where the demuxer's bytes come from (a regular file or a buffer in memory), and the input that
// reads through them and nothing else.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/error.h"
#include "platform/ffmpeg/owners.h"

namespace autoframe::ffmpeg {

class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Bytes read (at least 1), AVERROR_EOF at the end, or another FFmpeg error code.
    virtual int read(std::uint8_t* buffer, int size) = 0;
    // As lseek, plus AVSEEK_SIZE (the total size); an FFmpeg error code on failure.
    virtual std::int64_t seek(std::int64_t offset, int whence) = 0;
};

// As ByteReader::seek, on an open file descriptor.
std::int64_t seekDescriptor(int descriptor, std::int64_t offset, int whence);

// Opens the file for reading, refusing anything but a regular file without blocking (a FIFO
// with no writer would otherwise hang the open).
Expected<std::unique_ptr<ByteReader>> openRegularFile(const std::string& path);

// Reads bytes in memory, which must outlive the reader.
std::unique_ptr<ByteReader> readerOnMemory(std::span<const std::uint8_t> bytes);

// An opened input and what it reads through, released in reverse order of the fields: the input,
// then its I/O context, then the byte reader.
struct ByteInput {
    std::unique_ptr<ByteReader> reader;
    IoContextOwner io;
    InputOwner format;
};

// Opens the container on the reader's bytes (`name` stands for the file in error descriptions).
// The video reads only its own bytes: playlists, references to other files and the like fail.
Expected<ByteInput> openByteInput(std::unique_ptr<ByteReader> reader, const std::string& name);

}  // namespace autoframe::ffmpeg
