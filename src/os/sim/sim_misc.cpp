// Simulated Windows: environment, module path, special folders, profile
// strings (over the simulated files), threads and locks (real host threads).
//
// Invariant: a profile file keeps the encoding it was found in: a UTF-16LE
// byte-order mark means Unicode, a UTF-8 mark UTF-8; any other file, and one
// the profile functions create themselves, is ANSI, where a unit above 0xFF
// cannot be stored and becomes "?". That is what the real functions do on a
// Western code page, and the program must not lose text to it.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <new>
#include <thread>

#include "base/text.h"
#include "os/sim/sim_internal.h"

namespace sim::detail {

#define SIM_LOCK std::lock_guard<std::recursive_mutex> sim_guard_(sim::detail::st().lock)

void reset_environment() {
    SIM_LOCK;
    auto& e = st().env;
    e.clear();
    const std::pair<const char16_t*, const char16_t*> vars[] = {
        {u"ALLUSERSPROFILE", u"C:\\ProgramData"},
        {u"APPDATA", u"C:\\Users\\Ann\\AppData\\Roaming"},
        {u"LOCALAPPDATA", u"C:\\Users\\Ann\\AppData\\Local"},
        {u"ProgramData", u"C:\\ProgramData"},
        {u"ProgramFiles", u"C:\\Program Files"},
        {u"ProgramFiles(x86)", u"C:\\Program Files (x86)"},
        {u"ProgramW6432", u"C:\\Program Files"},
        {u"SystemDrive", u"C:"},
        {u"SystemRoot", u"C:\\Windows"},
        {u"TEMP", u"C:\\Users\\Ann\\AppData\\Local\\Temp"},
        {u"TMP", u"C:\\Users\\Ann\\AppData\\Local\\Temp"},
        {u"USERNAME", u"Ann"},
        {u"USERPROFILE", u"C:\\Users\\Ann"},
        {u"windir", u"C:\\Windows"},
    };
    for (const auto& v : vars) e[upper(v.first)] = {v.first, v.second};
}

} // namespace sim::detail

namespace os {

using namespace sim::detail;

uint32_t expand_environment_strings(const char16_t* src, char16_t* dst, uint32_t cap) {
    SIM_LOCK;
    if (!src) {
        set_error(error_invalid_parameter);
        return 0;
    }
    u16 out, in(src);
    size_t i = 0;
    while (i < in.size()) {
        if (in[i] != u'%') {
            out.push_back(in[i++]);
            continue;
        }
        size_t close = in.find(u'%', i + 1);
        if (close == u16::npos) {
            out.append(in, i, u16::npos);
            break;
        }
        u16 name = in.substr(i + 1, close - i - 1);
        auto it = name.empty() ? st().env.end() : st().env.find(upper(name));
        if (it != st().env.end()) {
            out += it->second.value;
            i = close + 1;
        } else {
            // Not defined: keep "%NAME" and let the closing sign start again.
            out.push_back(u'%');
            out += name;
            i = close;
        }
    }
    uint32_t need = uint32_t(out.size() + 1);
    if (dst && cap >= need) std::memcpy(dst, out.c_str(), need * 2);
    return need;
}

bool set_environment_variable(const char16_t* name, const char16_t* value) {
    SIM_LOCK;
    if (!name || !*name) {
        set_error(error_invalid_parameter);
        return false;
    }
    if (!value)
        st().env.erase(upper(name));
    else
        st().env[upper(name)] = {name, value};
    return true;
}

uint32_t get_module_file_name(char16_t* buffer, uint32_t cap) {
    SIM_LOCK;
    const u16& p = st().module_path;
    if (!buffer || cap == 0) {
        set_error(error_insufficient_buffer);
        return 0;
    }
    if (cap <= p.size()) { // cut and terminated, as Windows Vista and later do
        std::memcpy(buffer, p.c_str(), (cap - 1) * 2);
        buffer[cap - 1] = 0;
        set_error(error_insufficient_buffer);
        return cap;
    }
    std::memcpy(buffer, p.c_str(), (p.size() + 1) * 2);
    return uint32_t(p.size());
}

int32_t sh_get_folder_path(int32_t csidl, char16_t* buffer) {
    if (csidl != csidl_startup || !buffer) return int32_t(0x80070057u); // E_INVALIDARG
    char16_t tmp[260];
    uint32_t n = expand_environment_strings(
        u"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", tmp, 260);
    if (n == 0 || n > 260) return int32_t(0x80004005u); // E_FAIL
    std::memcpy(buffer, tmp, n * 2);
    return 0;
}

// ------------------------------------------------------ profile strings --

namespace {

enum class enc { ansi, utf8, utf16 };

struct ini_line {
    u16 key; // empty for a line that is not key=value
    u16 value;
    u16 raw;
};
struct ini_section {
    u16 name;
    std::vector<ini_line> lines;
};
struct ini_file {
    enc e = enc::ansi;
    std::vector<u16> preamble; // lines before the first section
    std::vector<ini_section> sections;
};

u16 trim(const u16& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
    return s.substr(b, e - b);
}

bool read_file_bytes(const char16_t* path, std::vector<uint8_t>* out) {
    resolved r = resolve(path, true);
    if (!r.n || r.n->dir) return false;
    *out = sim::contents(path);
    return true;
}

u16 decode(const std::vector<uint8_t>& b, enc* e) {
    u16 text;
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        *e = enc::utf16;
        for (size_t i = 2; i + 1 < b.size(); i += 2)
            text.push_back(char16_t(b[i] | (b[i + 1] << 8)));
    } else if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        *e = enc::utf8;
        std::vector<char16_t> buf(b.size() + 1);
        if (wv::utf8_to_utf16(reinterpret_cast<const char*>(b.data()) + 3, b.size() - 3, buf.data(),
                              buf.size()))
            text = buf.data();
    } else {
        *e = enc::ansi;
        for (uint8_t c : b) text.push_back(char16_t(c));
    }
    return text;
}

ini_file parse(const char16_t* path) {
    ini_file f;
    std::vector<uint8_t> bytes;
    if (!read_file_bytes(path, &bytes)) return f;
    u16 text = decode(bytes, &f.e);
    size_t i = 0;
    while (i <= text.size()) {
        size_t nl = text.find(u'\n', i);
        u16 line = text.substr(i, nl == u16::npos ? u16::npos : nl - i);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        i = nl == u16::npos ? text.size() + 1 : nl + 1;
        if (nl == u16::npos && line.empty()) break;
        u16 t = trim(line);
        if (!t.empty() && t[0] == u'[') {
            size_t close = t.find(u']');
            f.sections.push_back(
                {trim(t.substr(1, close == u16::npos ? u16::npos : close - 1)), {}});
            continue;
        }
        ini_line l;
        l.raw = line;
        size_t eq = line.find(u'=');
        if (eq != u16::npos && !t.empty() && t[0] != u';') {
            l.key = trim(line.substr(0, eq));
            l.value = trim(line.substr(eq + 1));
            if (l.value.size() >= 2 && (l.value[0] == u'"' || l.value[0] == u'\'') &&
                l.value.back() == l.value[0])
                l.value = l.value.substr(1, l.value.size() - 2);
        }
        if (f.sections.empty())
            f.preamble.push_back(line);
        else
            f.sections.back().lines.push_back(l);
    }
    return f;
}

bool store(const char16_t* path, const ini_file& f) {
    u16 text;
    for (const auto& l : f.preamble) text += l + u"\r\n";
    for (const auto& s : f.sections) {
        text += u"[" + s.name + u"]\r\n";
        for (const auto& l : s.lines)
            text += (l.key.empty() ? l.raw : l.key + u"=" + l.value) + u"\r\n";
    }
    std::vector<uint8_t> bytes;
    if (f.e == enc::utf16) {
        bytes = {0xFF, 0xFE};
        auto b = sim::utf16_bytes(text, false);
        bytes.insert(bytes.end(), b.begin(), b.end());
    } else if (f.e == enc::utf8) {
        bytes = {0xEF, 0xBB, 0xBF};
        std::vector<char> buf(text.size() * 4 + 1);
        wv::utf16_to_utf8(text.c_str(), buf.data(), buf.size());
        bytes.insert(bytes.end(), buf.data(), buf.data() + std::strlen(buf.data()));
    } else {
        for (char16_t c : text) bytes.push_back(c > 0xFF ? uint8_t('?') : uint8_t(c));
    }
    handle h = create_file(path, generic_write, 0, create_always, 0);
    if (h == invalid_handle) return false;
    uint32_t n = 0;
    bool ok = bytes.empty() || write_file(h, bytes.data(), uint32_t(bytes.size()), &n);
    close_handle(h);
    return ok;
}

ini_section* find_section(ini_file& f, const char16_t* name) {
    for (auto& s : f.sections)
        if (upper(s.name) == upper(name)) return &s;
    return nullptr;
}

} // namespace

uint32_t get_private_profile_string(const char16_t* section, const char16_t* key,
                                    const char16_t* default_value, char16_t* buffer, uint32_t cap,
                                    const char16_t* file) {
    SIM_LOCK;
    if (!buffer || cap == 0) return 0;
    buffer[0] = 0;
    if (!section || !key || !file) return 0;
    ini_file f = parse(file);
    u16 value = default_value ? trim(default_value) : u16();
    if (ini_section* s = find_section(f, section)) {
        for (const auto& l : s->lines) {
            if (!l.key.empty() && upper(l.key) == upper(key)) {
                value = l.value;
                break;
            }
        }
    }
    size_t n = std::min<size_t>(value.size(), cap - 1);
    std::memcpy(buffer, value.c_str(), n * 2);
    buffer[n] = 0;
    return uint32_t(n);
}

bool write_private_profile_section(const char16_t* section, const char16_t* data,
                                   const char16_t* file) {
    SIM_LOCK;
    if (!section || !file) {
        set_error(error_invalid_parameter);
        return false;
    }
    ini_file f = parse(file);
    if (!data) {
        for (auto it = f.sections.begin(); it != f.sections.end(); ++it) {
            if (upper(it->name) == upper(section)) {
                f.sections.erase(it);
                break;
            }
        }
        return store(file, f);
    }
    ini_section* s = find_section(f, section);
    if (!s) {
        f.sections.push_back({section, {}});
        s = &f.sections.back();
    }
    s->lines.clear();
    for (const char16_t* p = data; *p; p += std::char_traits<char16_t>::length(p) + 1) {
        u16 line(p);
        ini_line l;
        l.raw = line;
        size_t eq = line.find(u'=');
        if (eq != u16::npos) {
            l.key = trim(line.substr(0, eq));
            l.value = trim(line.substr(eq + 1));
        }
        s->lines.push_back(l);
    }
    return store(file, f);
}

bool write_private_profile_string(const char16_t* section, const char16_t* key,
                                  const char16_t* value, const char16_t* file) {
    SIM_LOCK;
    if (!section || !file) {
        set_error(error_invalid_parameter);
        return false;
    }
    ini_file f = parse(file);
    if (!key) return write_private_profile_section(section, nullptr, file);
    ini_section* s = find_section(f, section);
    if (!value) {
        if (!s) return true;
        auto& ls = s->lines;
        for (auto it = ls.begin(); it != ls.end(); ++it) {
            if (upper(it->key) == upper(key)) {
                ls.erase(it);
                break;
            }
        }
        return store(file, f);
    }
    if (!s) {
        f.sections.push_back({section, {}});
        s = &f.sections.back();
    }
    for (auto& l : s->lines) {
        if (!l.key.empty() && upper(l.key) == upper(key)) {
            l.value = value;
            return store(file, f);
        }
    }
    s->lines.push_back({key, value, u16()});
    return store(file, f);
}

// -------------------------------------------------------------- threads --

namespace {

struct thread_state {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    uint32_t code = 0;
    thread_proc proc = nullptr;
    void* arg = nullptr;
};

struct thread_obj : handle_obj {
    std::shared_ptr<thread_state> s;
};

void* thread_main(void* p) {
    auto* holder = static_cast<std::shared_ptr<thread_state>*>(p);
    std::shared_ptr<thread_state> s = *holder;
    delete holder;
    uint32_t code = s->proc(s->arg);
    {
        std::lock_guard<std::mutex> g(s->m);
        s->done = true;
        s->code = code;
    }
    s->cv.notify_all();
    return nullptr;
}

} // namespace

handle create_thread(size_t stack_size, thread_proc proc, void* arg, uint32_t* thread_id) {
    auto s = std::make_shared<thread_state>();
    s->proc = proc;
    s->arg = arg;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    if (stack_size) pthread_attr_setstacksize(&attr, stack_size < 65536 ? 65536 : stack_size);
    auto* holder = new std::shared_ptr<thread_state>(s);
    pthread_t t;
    int rc = pthread_create(&t, &attr, thread_main, holder);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete holder;
        set_error(error_not_enough_memory);
        return nullptr;
    }
    static std::atomic<uint32_t> next_id{100};
    if (thread_id) *thread_id = next_id.fetch_add(4);
    auto o = std::make_shared<thread_obj>();
    o->kind = hkind::thread;
    o->s = s;
    return add_handle(o);
}

uint32_t wait_for_single_object(handle h, uint32_t timeout_ms) {
    auto o = std::static_pointer_cast<thread_obj>(get_handle(h, hkind::thread));
    if (!o) {
        set_error(error_invalid_handle);
        return wait_failed;
    }
    std::unique_lock<std::mutex> g(o->s->m);
    if (timeout_ms == infinite) {
        o->s->cv.wait(g, [&] { return o->s->done; });
        return wait_object_0;
    }
    bool done =
        o->s->cv.wait_for(g, std::chrono::milliseconds(timeout_ms), [&] { return o->s->done; });
    return done ? wait_object_0 : wait_timeout;
}

bool get_exit_code_thread(handle h, uint32_t* code) {
    auto o = std::static_pointer_cast<thread_obj>(get_handle(h, hkind::thread));
    if (!o) {
        set_error(error_invalid_handle);
        return false;
    }
    std::lock_guard<std::mutex> g(o->s->m);
    *code = o->s->done ? o->s->code : 259; // STILL_ACTIVE
    return true;
}

void sleep(uint32_t ms) {
    if (ms == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void switch_to_thread() {
    std::this_thread::yield();
}

uint32_t get_tick_count() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static_assert(sizeof(std::recursive_mutex) <= sizeof(critical_section::opaque),
              "critical_section storage too small");

void initialize_critical_section(critical_section* cs) {
    new (cs->opaque) std::recursive_mutex();
}
void enter_critical_section(critical_section* cs) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(cs->opaque))->lock();
}
void leave_critical_section(critical_section* cs) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(cs->opaque))->unlock();
}
void delete_critical_section(critical_section* cs) {
    std::launder(reinterpret_cast<std::recursive_mutex*>(cs->opaque))->~recursive_mutex();
}

} // namespace os

namespace sim {

void set_module_path(const std::u16string& path) {
    SIM_LOCK;
    detail::st().module_path = path;
}

} // namespace sim
