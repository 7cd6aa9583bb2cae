// JPEG test helper: a real file holding given bytes, open for binary reading
// from its start, as the driver hands files to the decoder.
#ifndef TARNWICK_TESTS_JPEG_TEST_FILES_H
#define TARNWICK_TESTS_JPEG_TEST_FILES_H

#include <cstdio>

#include "test_support.h"

namespace test {

// An anonymous temporary file (removed when closed) with the bytes written
// and the position back at 0; closed with the object. get() is nullptr if the
// file could not be made.
class OpenBytesFile {
public:
    explicit OpenBytesFile(const Bytes &bytes) : m_p_file(std::tmpfile())
    {
        if(m_p_file && ((!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_p_file) != bytes.size()) ||
                        std::fseek(m_p_file, 0, SEEK_SET) != 0)) {
            std::fclose(m_p_file);
            m_p_file = nullptr;
        }
    }
    ~OpenBytesFile()
    {
        if(m_p_file)
            std::fclose(m_p_file);
    }
    OpenBytesFile(const OpenBytesFile &) = delete;
    OpenBytesFile &operator=(const OpenBytesFile &) = delete;
    FILE *get() const { return m_p_file; }

private:
    FILE *m_p_file;
};

} // namespace test

#endif // TARNWICK_TESTS_JPEG_TEST_FILES_H
