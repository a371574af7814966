// General utilities of the framework: formatting and conversions, integer bit tricks used for
// texture sizes, hex dumps, a process-wide working path, and small path and file helpers.
//
// All functions are stateless and reentrant except stdPrintf (one shared formatting buffer) and
// the working-path functions (one shared string): call those from one thread only. No GL needed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace KX {

// Capacity of stdPrintf's shared formatting buffer, terminator included. Longer output is cut.
constexpr std::size_t kStdPrintfCapacity = 4096;
// Capacity of a token in parseIntArray / parseFloatArray, terminator included.
constexpr std::size_t kParseTokenCapacity = 512;
// Capacity of the buffer getCurrentDirectory reads into, terminator included.
constexpr std::size_t kCurrentDirectoryCapacity = 1024;

// Formatting and conversions.
// Formats into the shared buffer and assigns the result to out; output beyond the buffer is cut.
// A format string longer than kStdPrintfCapacity characters leaves out unchanged; a formatting
// error (for example an unencodable wide character) leaves out empty.
void stdPrintf(std::string& out, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
std::string floatToString(float v, int decimals);
std::string intToString(int v);
int stringToInt(const char* s);     // atoi's reading; values beyond int clamp; null gives 0
float stringToFloat(const char* s); // atof narrowed to float; null gives 0
void toLower(std::string& s);
void toUpper(std::string& s);
// Split text at sep and blanks and append the numbers to out (not cleared); returns out's size.
// Integers skip tokens without a number; floats append 0 for them. Tokens longer than
// kParseTokenCapacity - 1 characters are cut to that length (the rest of the token is dropped).
// A NUL sep splits at blanks only.
int parseIntArray(std::vector<int>& out, const char* text, char sep);
int parseFloatArray(std::vector<float>& out, const char* text, char sep);
// Items "0x.." separated by ", ", a line break before every perLine-th item; perLine < 1 gives
// a single line, count <= 0 or null data an empty text.
std::string hexDump(unsigned int* data, int count, int perLine);
std::string hexDump(unsigned short* data, int count, int perLine);
std::string hexDump(unsigned char* data, int count, int perLine);

// Integer bit functions on 32-bit values.
bool isPowerOf2(unsigned int x);
// The smallest power of two not below n (0 for 0). 0 when n is negative or above 2^30, where
// no such power fits in an int.
int nextPowerOf2(int n);
// n rounded up to a multiple of 16 (of 4) by the truncating-remainder rule (-5 gives 16).
// 0 when the multiple does not fit in an int (n within 15 (3) of INT_MAX).
int nd16(int n);
int nd4(int n);
unsigned int reverse32(unsigned int x);
int ones32(unsigned int x);
int floorLog2(unsigned int x);
int ceilLog2(unsigned int x);

// Paths and files. Paths use "/" as the separator.
// Sets the working path (backslashes become "/", a trailing "/" is added). An empty path clears
// it, so that paths are used as given again.
void setWorkingPath(const std::string& path);
const char* getWorkingPath(); // owned by the module; valid until the next setWorkingPath
// path prefixed with the working path unless it is absolute ("/..."), has a drive ("C:..."),
// already starts with the working path, or is empty (returned as "").
std::string toWorkingPath(const std::string& path);
std::string makePathNice(const std::string& path);
// The current directory ending in "/", or "" when it cannot be read or does not fit the buffer.
std::string getCurrentDirectory();
// Appends folder + "/" + name for each regular file in folder (system order, ".DS_Store"
// skipped) and prints each name. False, with "Couldn't open directory", when it cannot be read.
bool getFilesInFolder(std::vector<std::string>& files, const char* folder);
bool doesFileExist(const char* path);
std::string getFileExt(const std::string& name);
std::string getFilenameFromPath(const std::string& path);
std::string getFilenameWithoutExt(const std::string& name);
// Size of the stream in bytes; leaves it positioned at the start. -1 for a null stream.
long getFileSize(FILE* f);
// Reads up to the next LF or CR (consumed). The line gets one NUL character appended. False at
// the end of the stream when nothing was read (or f is null).
bool readLine(std::string& line, FILE* f);
// The line of text starting at pos (up to the next LF), echoed with puts; returns the position
// after it, or -1 (line unchanged) when pos is past the end.
int readLine(std::string& line, const std::string& text, int pos);

} // namespace KX
