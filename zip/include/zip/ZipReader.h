#pragma once
// Reads the directory of a ZIP archive and extracts chosen entries into a
// folder, checking each against its CRC-32. Archive and folder paths are
// program paths (code page 1251, backslashes).

#include "zip/ZipErrors.h"
#include "zip/ZipRecords.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zip {

class TFileBufferStream;
class OpenArchive;

enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TBlockMode { bmStandard, bmClassic };
enum class TOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum class TSkipReason { srBadPassword = 0, srNoOverwrite = 1, srCreateError = 3 };

/// What an extraction run is told to do; the reader's setters below fill it.
struct ExtractionOptions {
    std::string destDir; ///< without one trailing backslash
    TOverwriteMode overwriteMode = TOverwriteMode::Prompt;
    bool recreateDirs = false;
    std::vector<std::string> relativePathList;
    bool doAll = false;
    std::vector<std::string> filesList;
    bool retainAttributes = true;
    bool replaceReadOnly = false;
    bool flushFilesOnClose = false;
    bool doProcessMessages = true;
};

/// Optional hooks; an empty one means the default behaviour.
struct TZipReaderEvents {
    /// No end record found; may change the mode used for this archive.
    std::function<void(TIncompleteZipMode &mode)> OnInCompleteZip;
    /// Replaces the naming of part partNumber (1-based) of a multi-part archive.
    std::function<void(std::string &fileName, int partNumber, int multiPartMode)>
        OnFileNameForSplitPart;
    std::function<void(int fileCount, uint64_t totalBytes, bool &stopNow)> OnStartUnzipInfo;
    std::function<void(int fileIndex, std::string &fileName, bool &skip)> OnStartUnzip;
    std::function<void(bool &overwriteIt, int fileIndex, std::string &fileName)>
        OnPromptForOverwrite;
    std::function<void(TSkipReason reason, const std::string &fileName, int fileIndex)>
        OnSkippingFile;
    std::function<void(uint32_t calculatedCrc, uint32_t storedCrc, int fileIndex)> OnBadCRC;
    std::function<void(int fileIndex, const std::string &fileName)> OnEndUnzip;
    std::function<void(int percent)> OnFilePercentDone;
    std::function<void(int percent)> OnTotalPercentDone;
    std::function<void(int fileCount)> OnUnzipComplete;
    /// A message for the user; result is the answer (a platform::mb::Id value).
    std::function<void(int messageId, const std::string &text, const std::string &caption,
                       unsigned flags, int &result)>
        OnHandleMessage;
};

class TZipReader {
public:
    TZipReader();
    ~TZipReader();
    TZipReader(const TZipReader &) = delete;
    TZipReader &operator=(const TZipReader &) = delete;

    // --- The archive and its directory ---------------------------------

    const std::string &ZipName() const;
    /// A new archive (compared ignoring letter case) drops the directory and
    /// its marks; the file itself is not touched.
    void SetZipName(std::string_view zipName);

    /// Reads the directory, or keeps it when the archive file is unchanged.
    /// Throws EFOpenError, EBadZipFile, ENotAZipFile; the directory and
    /// ZipName are then cleared.
    void ReadDirectory();
    int EntryCount() const;
    /// Throws EListError "Index %d is out of range".
    std::string EntryFileName(int index) const;
    /// Throws EListError "Index %d is out of range".
    void SetEntrySelected(int index, bool selected);
    /// Throws EListError "Index %d is out of range".
    bool EntrySelected(int index) const;
    /// The whole record of an entry. Throws EListError "Index %d is out of range".
    const TZipEntryInfo &EntryInfo(int index) const;
    bool RebuiltFromLocal() const { return m_rebuiltFromLocal; }
    const TEndOfCentral &EndRecord() const { return m_endRecord; }
    /// Forgets the directory and the archive name.
    void ClearDirectory();

    TIncompleteZipMode IncompleteZipMode() const { return m_incompleteZipMode; }
    void SetIncompleteZipMode(TIncompleteZipMode mode) { m_incompleteZipMode = mode; }
    TOEMConvert OEMConvert() const { return m_oemConvert; }
    void SetOEMConvert(TOEMConvert convert) { m_oemConvert = convert; }
    TZipSortMode SortMode() const { return m_sortMode; }
    void SetSortMode(TZipSortMode mode);
    bool KeepZipOpen() const { return m_keepZipOpen; }
    void SetKeepZipOpen(bool keep) { m_keepZipOpen = keep; }
    /// Closes the archive that KeepZipOpen kept open; while an extraction
    /// runs (a hook calling it), the archive stays open for the run.
    void CloseArchive();
    bool DoProcessMessages() const { return m_options.doProcessMessages; }
    void SetDoProcessMessages(bool process) { m_options.doProcessMessages = process; }
    TBlockMode BlockMode() const;
    void SetBlockMode(TBlockMode mode);

    // --- Extraction -----------------------------------------------------

    const std::string &DestDir() const { return m_options.destDir; }
    /// Stored without one trailing backslash.
    void SetDestDir(std::string_view destDir);
    TOverwriteMode OverwriteMode() const { return m_options.overwriteMode; }
    void SetOverwriteMode(TOverwriteMode mode) { m_options.overwriteMode = mode; }
    bool RecreateDirs() const { return m_options.recreateDirs; }
    void SetRecreateDirs(bool recreate) { m_options.recreateDirs = recreate; }
    const std::string &RootDir() const { return m_rootDir; }
    /// Appends a missing backslash and makes the folder the only entry of
    /// RelativePathList.
    void SetRootDir(std::string_view rootDir);
    /// Folder prefixes stripped from entry folders when RecreateDirs is set.
    std::vector<std::string> &RelativePathList() { return m_options.relativePathList; }
    bool DoAll() const { return m_options.doAll; }
    void SetDoAll(bool all) { m_options.doAll = all; }
    /// Wildcard patterns (* and ?) choosing the entries of Extract; emptied
    /// by every extraction run.
    std::vector<std::string> &FilesList() { return m_options.filesList; }
    bool RetainAttributes() const { return m_options.retainAttributes; }
    void SetRetainAttributes(bool retain) { m_options.retainAttributes = retain; }
    bool ReplaceReadOnly() const { return m_options.replaceReadOnly; }
    void SetReplaceReadOnly(bool replace) { m_options.replaceReadOnly = replace; }
    bool FlushFilesOnClose() const { return m_options.flushFilesOnClose; }
    void SetFlushFilesOnClose(bool flush) { m_options.flushFilesOnClose = flush; }

    /// Extracts the selected entries (clearing their marks) into DestDir and
    /// returns how many were written completely with a matching CRC-32.
    /// Throws what ReadDirectory throws, and EFatalUnzipError,
    /// EZCompressionError, ECantWriteUCF when an entry's data or output fails.
    int ExtractSelected();
    /// The same for every entry (DoAll) or those matching FilesList.
    int Extract();

    TZipReaderEvents &Events() { return m_events; }

private:
    TSortedEntries &sortedView() const;
    TZipEntryInfo &entryAt(int index) const;
    int extract(bool selectedOnly);
    void openArchive();
    void closeArchive();
    void freeDirectory();
    void readDirectory();
    bool openSideFile();
    TFileBufferStream &directoryStream() const;
    uint64_t directoryStart() const;
    void readCentralDirectory();
    void restartAfterScan(uint64_t &index, TZipEntryInfo *&previous);
    void skipExtraAndComment(const TZipEntryInfo &entry);
    bool findEndRecord(TFileBufferStream &stream);
    void loadZip64Records(TFileBufferStream &stream, std::span<const uint8_t> locator);
    bool readCentralHeader(TZipEntryInfo &entry, bool multiPart);
    bool readLocalHeader(TZipEntryInfo &entry);
    bool scanLocalHeaders();
    bool seekToLocalHeaderSignature(TFileBufferStream &stream);
    void mergeCentralHeader(TZipEntryInfo &central);
    void buildSortedView();
    void PumpMessages() const;

    TZipReaderEvents m_events;
    TEndOfCentral m_endRecord;
    bool m_rebuiltFromLocal = false;
    std::unique_ptr<OpenArchive> m_archive; ///< the archive file and its parts
    std::unique_ptr<TSortedEntries> m_entries;
    std::unique_ptr<TSortedEntries> m_separateView; ///< only when SortMode is not ByNone
    std::unique_ptr<TFileBufferStream> m_sideFile;  ///< only while a directory is read from it

    TIncompleteZipMode m_incompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    TOEMConvert m_oemConvert = TOEMConvert::oemAlways;
    TZipSortMode m_sortMode = TZipSortMode::ByNone;
    bool m_keepZipOpen = false;
    bool m_extracting = false;

    std::string m_rootDir;
    ExtractionOptions m_options;
};

} // namespace zip
