#include "OpenArchive.h"

#include "Extraction.h"
#include "FileBufferStream.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <cstdio>

namespace zip {

namespace {

// The archive name up to the first dot of its file-name part: the stem
// that every part's name shares.
std::string baseNameOf(const std::string &zipName)
{
    size_t separator = zipName.find_last_of("\\:");
    size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    return zipName.substr(0, zipName.find('.', nameStart));
}

} // namespace

OpenArchive::OpenArchive(const TEndOfCentral &endRecord, const bool &rebuiltFromLocal,
                         const PartRename &rename)
    : m_endRecord(endRecord), m_rebuiltFromLocal(rebuiltFromLocal), m_rename(rename)
{
}

OpenArchive::~OpenArchive() = default;

void OpenArchive::setName(std::string_view name)
{
    m_name = name;
    m_baseName = baseNameOf(m_name);
    m_stream.reset();
    forgetFileState();
}

void OpenArchive::clear()
{
    m_stream.reset();
    forgetFileState();
    m_multiPartMode = 0;
    m_name.clear();
    m_baseName.clear();
}

void OpenArchive::open()
{
    if (m_stream)
        return;
    m_stream = TFileBufferStream::open(m_name, platform::File::Mode::Read);
    if (!m_stream)
        throw EFOpenError(m_name, platform::lastErrorText());
}

void OpenArchive::close()
{
    m_stream.reset();
}

void OpenArchive::noteFileState()
{
    m_noted = m_stream->stamp();
}

bool OpenArchive::unchangedSinceNoted()
{
    return m_noted && m_stream->stamp() == m_noted;
}

void OpenArchive::forgetFileState()
{
    m_noted.reset();
}

bool OpenArchive::isMultiPart() const
{
    return m_endRecord.numberOfThisDisk() != 0 && !m_rebuiltFromLocal;
}

std::string OpenArchive::partFileName(int partNumber) const
{
    char suffix[16];
    if (m_blockMode == TBlockMode::bmClassic)
        std::snprintf(suffix, sizeof suffix, ".%3.3d", partNumber);
    else if (uint32_t(partNumber) == m_endRecord.numberOfThisDisk() + 1)
        std::snprintf(suffix, sizeof suffix, ".zip");
    else
        std::snprintf(suffix, sizeof suffix, ".z%2.2d", partNumber);
    std::string name = m_baseName + suffix;
    if (m_rename)
        m_rename(name, partNumber, m_multiPartMode);
    return name;
}

void OpenArchive::openPart(int partNumber)
{
    std::string name = partFileName(partNumber);
    m_stream.reset();
    m_stream = TFileBufferStream::open(name, platform::File::Mode::Read);
    if (!m_stream)
        throw EFOpenError(name, platform::lastErrorText());
    m_name = name;
    m_currentPart = uint32_t(partNumber - 1);
    noteFileState();
}

size_t OpenArchive::readAcrossParts(uint8_t *buffer, size_t count)
{
    size_t got = m_stream->read(buffer, count);
    while (got < count && isMultiPart()) {
        openNextPart();
        got += m_stream->read(buffer + got, count - got);
    }
    return got;
}

} // namespace zip
