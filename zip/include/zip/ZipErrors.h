#pragma once
// The archive reader's errors. what() is the text shown to the user.

#include <stdexcept>
#include <string>

namespace zip {

class EZipReaderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// No usable directory and no local header to rebuild one from.
class EBadZipFile : public EZipReaderError {
public:
    EBadZipFile() : EZipReaderError("Not a valid zip file!") {}
};

/// No end record, and the reader was told to take such files as no archive.
class ENotAZipFile : public EZipReaderError {
public:
    ENotAZipFile() : EZipReaderError("Not a valid zip file!") {}
};

/// No end record, and the reader was told to take such files as one part of
/// a multi-part archive.
class EIncompleteZip : public EZipReaderError {
public:
    EIncompleteZip() : EZipReaderError("Incomplete Zip File") {}
};

/// The user declined to insert the next disk of a multi-disk set.
class EUserCanceled : public EZipReaderError {
public:
    EUserCanceled() : EZipReaderError("User canceled loading new disk.") {}
};

/// The archive ends inside an entry's data.
class EFatalUnzipError : public EZipReaderError {
public:
    EFatalUnzipError() : EZipReaderError("Premature end of file reached") {}
};

/// An entry decodes to more bytes than its directory record declares.
class EBiggerThanUncompressed : public EZipReaderError {
public:
    EBiggerThanUncompressed() : EZipReaderError("File is larger than uncompressed size!") {}
};

/// The output file refused the decoded bytes.
class ECantWriteUCF : public EZipReaderError {
public:
    ECantWriteUCF() : EZipReaderError("Cant write uncompressed file") {}
};

/// Deflate data that zlib rejects.
class EZCompressionError : public EZipReaderError {
public:
    EZCompressionError() : EZipReaderError("error") {}
};

/// A file that cannot be opened: "Cannot open file "<path>". <reason>".
// Belongs with the file services; kept here until the platform layer has it.
class EFOpenError : public std::runtime_error {
public:
    EFOpenError(const std::string &path, const std::string &reason)
        : std::runtime_error("Cannot open file \"" + path + "\". " + reason), m_path(path)
    {
    }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace zip
