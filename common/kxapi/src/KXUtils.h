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
void stdPrintf(std::string& out, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
std::string floatToString(float v, int decimals);
std::string intToString(int v);
int stringToInt(const char* s);
float stringToFloat(const char* s);
void toLower(std::string& s);
void toUpper(std::string& s);
int parseIntArray(std::vector<int>& out, const char* text, char sep);
int parseFloatArray(std::vector<float>& out, const char* text, char sep);
std::string hexDump(unsigned int* data, int count, int perLine);
std::string hexDump(unsigned short* data, int count, int perLine);
std::string hexDump(unsigned char* data, int count, int perLine);

// Integer bit functions on 32-bit values.
bool isPowerOf2(unsigned int x);
int nextPowerOf2(int n);
int nd16(int n);
int nd4(int n);
unsigned int reverse32(unsigned int x);
int ones32(unsigned int x);
int floorLog2(unsigned int x);
int ceilLog2(unsigned int x);

// Paths and files. Paths use "/" as the separator.
void setWorkingPath(const std::string& path);
const char* getWorkingPath(); // owned by the module; valid until the next setWorkingPath
std::string toWorkingPath(const std::string& path);
std::string makePathNice(const std::string& path);
std::string getCurrentDirectory();
bool getFilesInFolder(std::vector<std::string>& files, const char* folder);
bool doesFileExist(const char* path);
std::string getFileExt(const std::string& name);
std::string getFilenameFromPath(const std::string& path);
std::string getFilenameWithoutExt(const std::string& name);
long getFileSize(FILE* f);
bool readLine(std::string& line, FILE* f);
int readLine(std::string& line, const std::string& text, int pos);

} // namespace KX
