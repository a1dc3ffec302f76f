#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// A source of text that a scanner reads block by block (a file, an editor buffer).
class ISourceReader {
public:
    virtual ~ISourceReader() = default;
    /// Copies the next block of at most Capacity bytes into Buffer and returns its length in
    /// bytes; 0 only when the source is exhausted. Blocks may hold any bytes, NUL included.
    virtual size_t Read(char* Buffer, size_t Capacity) = 0;
};

/// Base of the byte scanners (the to-do comment tokenizer, the to-do file reader). It keeps the
/// text read so far in one NUL-terminated buffer, so token positions are 1-based indexes into
/// the whole text however it arrived, and a subclass's NextToken can stop on the NUL byte and
/// ask ReadSource for more.
///
/// Not thread-safe: one scanner is used by one thread at a time.
class TScanner {
public:
    TScanner() = default;
    TScanner(const TScanner&) = delete;
    TScanner& operator=(const TScanner&) = delete;
    virtual ~TScanner() = default;

    /// Starts on a copy of S (the buffer's capacity is kept between starts, so restarting on
    /// short strings does not allocate), then calls ScannerStarted.
    void StartScannerString(std::string_view S);

    /// Starts on Source, reading its first block, then calls ScannerStarted. Source must outlive
    /// the scan (until StopScanner or the next start); later blocks are read by ReadSource.
    void StartScanner(ISourceReader& Source);

    /// Ends the scan: forgets the source and the text (keeping the buffer's capacity); further
    /// tokens are end tokens.
    void StopScanner();

    /// Reads the next token and returns its kind; the kinds are the subclass's.
    virtual unsigned char NextToken() = 0;

    /// Moves the scan position to the 1-based Index: the character there is the next to be read
    /// and GetTokenPos then reads Index. Index is clamped to 1 .. text length + 1.
    void SkipToPos(int Index);

    /// 1-based index of the current token's first character; the end token stands just past the
    /// last character read.
    int GetTokenPos() const { return static_cast<int>(FTokenStart - FBuffer.data()) + 1; }

    /// The current token's characters, token start to scan pointer; empty for the end token.
    /// The view is valid until the scanner reads more of its source or is started or stopped.
    std::string_view GetTokenIdent() const {
        return std::string_view(FTokenStart, static_cast<size_t>(FScanPtr - FTokenStart));
    }

    /// True when the current token's characters equal Literal without regard to ASCII case.
    bool TokenIdentEq(std::string_view Literal) const;

    /// Kind of the current token, as last returned by NextToken.
    unsigned char Token() const { return FToken; }
    /// First byte of the current token (inside the scanner's buffer).
    const char* TokenStart() const { return FTokenStart; }
    /// The next byte to be read (inside the scanner's buffer).
    const char* ScanPtr() const { return FScanPtr; }
    /// 16-bit hash of the current token as the subclass computed it (0 when it computes none).
    uint16_t TokenHash() const { return FTokenHash; }
    /// The text read so far (NUL-terminated); GetTokenPos 1 is its first byte.
    const char* Text() const { return FBuffer.data(); }
    /// Number of bytes of text read so far (the buffer's NUL terminator stands at this index).
    size_t TextLength() const { return FBuffer.size(); }

protected:
    /// Called at the end of every start; a subclass reads its first token here.
    virtual void ScannerStarted() {}

    /// Called by NextToken when it meets a NUL byte at FScanPtr: when FScanPtr is at the end of
    /// the text read so far and the source has more, appends the next non-empty block and
    /// returns true. FScanPtr and FTokenStart are moved with the buffer; any other pointer a
    /// subclass keeps into the buffer must be re-derived. A NUL byte inside the text, or a
    /// string scan, has nothing to refill: returns false and changes nothing.
    bool ReadSource();

    /// True when FScanPtr stands on the terminating NUL after the text read so far.
    bool AtBufferEnd() const { return FScanPtr == FBuffer.data() + FBuffer.size(); }

    const char* FScanPtr = nullptr;    ///< next byte to read; points into FBuffer
    const char* FTokenStart = nullptr; ///< first byte of the current token
    unsigned char FToken = 0;          ///< kind of the current token
    uint16_t FTokenHash = 0;           ///< hash of the current token

private:
    void Reset();

    std::string FBuffer;              ///< the text read so far; always NUL-terminated
    ISourceReader* FSource = nullptr; ///< not owned; null for a string scan
};
