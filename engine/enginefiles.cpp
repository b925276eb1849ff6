#include "enginefiles.h"

#include "filegroup.h"

#include <openssl/bio.h>

#include <filesystem>
#include <new>
#include <system_error>

bool WriteFileAtomically(const char* path, const void* data, std::size_t size, FileAccess access)
{
    if (FileGroup* group = FileGroup::current())
        return group->prepare(path, data, size, access);
    return FileGroup::writeOne(path, data, size, access);
}

bool WriteMemoryBioAtomically(const char* path, BIO* memory, FileAccess access)
{
    if (memory == nullptr || BIO_flush(memory) != 1)
        return false;
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    if (size < 0)
        return false;
    return WriteFileAtomically(path, data, static_cast<std::size_t>(size), access);
}

BioPtr OpenFileForReading(const char* path)
{
    if (path == nullptr || *path == '\0')
        return nullptr;
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), error))
        return nullptr;
    return BioPtr(BIO_new_file(path, "rb"));
}

ReadOutcome ReadWholeFile(BIO* file, std::string* out)
{
    out->clear();
    char chunk[16384];
    for (;;)
    {
        const int got = BIO_read(file, chunk, sizeof chunk);
        if (got > 0)
        {
            try
            {
                out->append(chunk, static_cast<std::size_t>(got));
            }
            catch (const std::bad_alloc&)
            {
                out->clear();
                return ReadOutcome::NoMemory;
            }
            continue;
        }
        // 0 with end of file set is the normal end; anything else is an error of the stream.
        return BIO_eof(file) ? ReadOutcome::Ok : ReadOutcome::ReadError;
    }
}
