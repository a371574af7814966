// General utilities of the framework (see KXUtils.h).
#include "KXUtils.h"

#include "KX.h"
#include "KXPlatform.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <sstream>

namespace KX {

namespace {

// The process-wide working path; empty until setWorkingPath. Reached through a function so that
// it exists even when another file's static initialiser uses it first.
std::string& workingPath()
{
    static std::string s_path;
    return s_path;
}

// The shared formatting buffer of stdPrintf.
char s_printfBuffer[kStdPrintfCapacity];

bool isBlankOrSep(char c, char sep)
{
    return c != '\0' && (c == sep || c == ' ');
}

// Copies the token starting at `p` (up to the next sep, blank or NUL) into `token`, at most
// kParseTokenCapacity - 1 characters; the rest of an over-long token is consumed, so it never
// turns into a token of its own. Returns the position after the token.
const char* readToken(const char* p, char sep, char (&token)[kParseTokenCapacity])
{
    std::size_t len = 0;
    while (*p != '\0' && *p != sep && *p != ' ') {
        if (len + 1 < kParseTokenCapacity)
            token[len++] = *p;
        ++p;
    }
    token[len] = '\0';
    return p;
}

const char* skipSeparators(const char* p, char sep)
{
    while (isBlankOrSep(*p, sep))
        ++p;
    return p;
}

// atoi's rule for "holds a number": optional white space, optional sign, then a decimal digit.
bool holdsInteger(const char* s)
{
    while (std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    if (*s == '+' || *s == '-')
        ++s;
    return std::isdigit(static_cast<unsigned char>(*s)) != 0;
}

template <typename T>
std::string hexDumpItems(const T* data, int count, int perLine, const char* itemFormat)
{
    std::string result;
    if (data == nullptr)
        return result;
    std::string item;
    for (int pos = 0; pos < count; ++pos) {
        if (pos > 0 && perLine > 0 && pos % perLine == 0)
            result += "\n";
        stdPrintf(item, itemFormat, static_cast<unsigned int>(data[pos]));
        result += item;
        if (pos < count - 1)
            result += ", ";
    }
    return result;
}

std::string withTrailingSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Formatting and conversions

void stdPrintf(std::string& out, const char* fmt, ...)
{
    if (fmt == nullptr || std::strlen(fmt) > kStdPrintfCapacity)
        return;
    va_list args;
    va_start(args, fmt);
    const int written = std::vsnprintf(s_printfBuffer, sizeof s_printfBuffer, fmt, args);
    va_end(args);
    if (written < 0) {
        out.clear(); // formatting error: the buffer's contents are not meaningful
        return;
    }
    out = s_printfBuffer;
}

std::string floatToString(float v, int decimals)
{
    std::ostringstream stream;
    stream << std::fixed << std::setprecision(decimals) << v;
    return stream.str();
}

std::string intToString(int v)
{
    return std::to_string(v);
}

int stringToInt(const char* s)
{
    if (s == nullptr)
        return 0;
    // atoi's reading, but values beyond int are clamped instead of being undefined.
    const long value = std::strtol(s, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

float stringToFloat(const char* s)
{
    if (s == nullptr)
        return 0.0f;
    return static_cast<float>(std::atof(s));
}

void toLower(std::string& s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void toUpper(std::string& s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

int parseIntArray(std::vector<int>& out, const char* text, char sep)
{
    if (text == nullptr)
        return static_cast<int>(out.size());
    char token[kParseTokenCapacity];
    const char* p = text;
    while (*p != '\0') {
        p = skipSeparators(p, sep);
        p = readToken(p, sep, token);
        if (holdsInteger(token))
            out.push_back(stringToInt(token));
        p = skipSeparators(p, sep);
    }
    return static_cast<int>(out.size());
}

int parseFloatArray(std::vector<float>& out, const char* text, char sep)
{
    if (text == nullptr)
        return static_cast<int>(out.size());
    char token[kParseTokenCapacity];
    const char* p = text;
    while (*p != '\0') {
        p = skipSeparators(p, sep);
        p = readToken(p, sep, token);
        out.push_back(stringToFloat(token));
        p = skipSeparators(p, sep);
    }
    return static_cast<int>(out.size());
}

std::string hexDump(unsigned int* data, int count, int perLine)
{
    return hexDumpItems(data, count, perLine, "0x%08X");
}

std::string hexDump(unsigned short* data, int count, int perLine)
{
    return hexDumpItems(data, count, perLine, "0x%04X");
}

std::string hexDump(unsigned char* data, int count, int perLine)
{
    return hexDumpItems(data, count, perLine, "0x%02X");
}

// ---------------------------------------------------------------------------------------------
// Integer bit functions

bool isPowerOf2(unsigned int x)
{
    return x != 0 && (x & (x - 1)) == 0;
}

int nextPowerOf2(int n)
{
    if (n < 0 || n > (1 << 30))
        return 0; // no power of two at or above n fits in an int
    unsigned int x = static_cast<unsigned int>(n);
    if (isPowerOf2(x))
        return n;
    unsigned int highest = x;
    while ((x &= x - 1) != 0)
        highest = x;
    return static_cast<int>(highest * 2);
}

namespace {
// Rounds n up to a multiple of `step` by the truncating-remainder rule; 0 when that multiple
// does not fit in an int.
int roundUpTo(int n, int step)
{
    const int r = n % step;
    if (r == 0)
        return n;
    const int base = n - r; // never overflows: moves n towards zero
    if (base > INT_MAX - step)
        return 0;
    return base + step;
}
} // namespace

int nd16(int n)
{
    return roundUpTo(n, 16);
}

int nd4(int n)
{
    return roundUpTo(n, 4);
}

unsigned int reverse32(unsigned int x)
{
    x = ((x & 0xaaaaaaaau) >> 1) | ((x & 0x55555555u) << 1);
    x = ((x & 0xccccccccu) >> 2) | ((x & 0x33333333u) << 2);
    x = ((x & 0xf0f0f0f0u) >> 4) | ((x & 0x0f0f0f0fu) << 4);
    x = ((x & 0xff00ff00u) >> 8) | ((x & 0x00ff00ffu) << 8);
    return (x >> 16) | (x << 16);
}

int ones32(unsigned int x)
{
    x -= (x >> 1) & 0x55555555u;
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = ((x >> 4) + x) & 0x0f0f0f0fu;
    x += x >> 8;
    x += x >> 16;
    return static_cast<int>(x & 0x3fu);
}

namespace {
// Sets every bit below the highest set bit.
unsigned int smearDown(unsigned int x)
{
    x |= x >> 1;
    x |= x >> 2;
    x |= x >> 4;
    x |= x >> 8;
    x |= x >> 16;
    return x;
}
} // namespace

int floorLog2(unsigned int x)
{
    return ones32(smearDown(x) >> 1);
}

int ceilLog2(unsigned int x)
{
    // 1 when x has more than one set bit (not a power of two and not 0), else 0: the top bit of
    // y | -y, taken on unsigned words so no signed shift is involved.
    unsigned int y = x & (x - 1);
    y = (y | (0u - y)) >> 31;
    return ones32(smearDown(x) >> 1) + static_cast<int>(y);
}

// ---------------------------------------------------------------------------------------------
// Paths and files

void setWorkingPath(const std::string& path)
{
    if (path.empty()) {
        workingPath().clear(); // back to the start state: paths are used as given
        return;
    }
    workingPath() = withTrailingSlash(makePathNice(path));
}

const char* getWorkingPath()
{
    return workingPath().c_str();
}

std::string toWorkingPath(const std::string& path)
{
    if (path.empty())
        return path;
    const std::string& base = workingPath();
    if (path[0] == '/' || (path.size() > 1 && path[1] == ':') ||
        path.compare(0, base.size(), base) == 0)
        return path;
    return base + path;
}

std::string makePathNice(const std::string& path)
{
    std::string nice = path;
    for (char& c : nice)
        if (c == '\\')
            c = '/';
    return nice;
}

std::string getCurrentDirectory()
{
    char buffer[kCurrentDirectoryCapacity];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return std::string(); // unreadable, or longer than the buffer
    return withTrailingSlash(makePathNice(buffer));
}

bool getFilesInFolder(std::vector<std::string>& files, const char* folder)
{
    DIR* dir = folder != nullptr ? opendir(folder) : nullptr;
    if (dir == nullptr) {
        debugPrint("Couldn't open directory");
        return false;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string full = std::string(folder) + "/" + entry->d_name;
        bool regular = false;
#if defined(_DIRENT_HAVE_D_TYPE) || defined(__APPLE__)
        if (entry->d_type != DT_UNKNOWN) {
            regular = entry->d_type == DT_REG;
        } else
#endif
        {
            // Some file systems (and Windows) do not fill in the entry type; ask without
            // following links.
            regular = KXPlatform::isRegularFile(full.c_str());
        }
        if (!regular || std::strcmp(entry->d_name, ".DS_Store") == 0)
            continue;
        files.push_back(full);
        debugPrint("%s\n", entry->d_name);
    }
    closedir(dir);
    return true;
}

bool doesFileExist(const char* path)
{
    if (path == nullptr)
        return false;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr)
        return false;
    std::fclose(f);
    return true;
}

std::string getFileExt(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return name;
    return name.substr(dot + 1);
}

std::string getFilenameFromPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return path;
    return path.substr(slash + 1);
}

std::string getFilenameWithoutExt(const std::string& name)
{
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos)
        return name;
    return name.substr(0, dot);
}

long getFileSize(FILE* f)
{
    if (f == nullptr)
        return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    return size;
}

bool readLine(std::string& line, FILE* f)
{
    line.clear();
    if (f == nullptr)
        return false;
    bool readAny = false;
    for (;;) {
        const int c = std::fgetc(f);
        if (c == EOF) {
            if (!readAny)
                return false;
            line.push_back('\0');
            return true;
        }
        readAny = true;
        if (c == '\n' || c == '\r') {
            line.push_back('\0');
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
}

int readLine(std::string& line, const std::string& text, int pos)
{
    if (static_cast<unsigned int>(pos) >= text.size())
        return -1;
    const std::size_t start = static_cast<std::size_t>(pos);
    const std::size_t feed = text.find('\n', start);
    line.clear();
    if (feed == std::string::npos) {
        line = text.substr(start);
        std::puts(line.c_str());
        return static_cast<int>(text.size());
    }
    line = text.substr(start, feed - start);
    if (feed != 0)
        std::puts(line.c_str());
    return static_cast<int>(feed + 1);
}

} // namespace KX
