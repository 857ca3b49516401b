// The embedded interpreter and the loop that cuts a TrueType map table.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "FontSubsetBridge.h"

#include <cstdint>

#include "TrueTypeFont.h"
#include "Velmora.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace {
// Holds the GIL for one call from whichever thread makes it.
struct Gil {
    PyGILState_STATE state = PyGILState_Ensure();
    ~Gil() { PyGILState_Release(state); }
};

// The text of the pending exception, which is cleared.
std::string TakeError() {
    if (!PyErr_Occurred()) return {};
    PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
    PyErr_Fetch(&type, &value, &trace);
    // Never empty, which would read as a cut that went through: a bare
    // assert in fontTools raises an AssertionError without a message.
    std::string text = "error in the subsetting script";
    if (PyObject* name = type ? PyObject_GetAttrString(type, "__name__") : nullptr) {
        if (const char* u = PyUnicode_Check(name) ? PyUnicode_AsUTF8(name) : nullptr) text = u;
        Py_DECREF(name);
    }
    if (PyObject* s = value ? PyObject_Str(value) : nullptr) {
        const char* u = PyUnicode_AsUTF8(s);
        if (u && *u) text += std::string(": ") + u;
        Py_DECREF(s);
    }
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(trace);
    PyErr_Clear();
    return text;
}

// _tamsel.check_subset(path, source, number, codes): the font tool
// library's check of a subset about to be put in place, for the script to
// call before it renames the file; "" when it holds, else why not.
PyObject* CheckSubset(PyObject*, PyObject* args) {
    const char *path = nullptr, *source = nullptr;
    int number = 0;
    PyObject* codes = nullptr;
    if (!PyArg_ParseTuple(args, "ssiO", &path, &source, &number, &codes)) return nullptr;
    PyObject* seq = PySequence_Fast(codes, "codes must be a sequence of code points");
    if (!seq) return nullptr;
    std::u32string chars;
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq);
    chars.reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        const long c = PyLong_AsLong(PySequence_Fast_GET_ITEM(seq, i));
        if (c < 0 || c > 0x10FFFF) {
            Py_DECREF(seq);
            if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "not a code point");
            return nullptr;
        }
        chars += static_cast<char32_t>(c);
    }
    Py_DECREF(seq);
    std::string why;
    Py_BEGIN_ALLOW_THREADS why = checkSubset(path, source, number, chars);
    Py_END_ALLOW_THREADS return PyUnicode_FromStringAndSize(why.data(), static_cast<Py_ssize_t>(why.size()));
}

PyMethodDef kHostMethods[] = {
    {"check_subset", CheckSubset, METH_VARARGS, "Checks a subset file before it is put in place."},
    {nullptr, nullptr, 0, nullptr},
};
PyModuleDef kHostModule = {PyModuleDef_HEAD_INIT, "_tamsel", "What the font library offers its scripts.", -1,
                           kHostMethods, nullptr, nullptr, nullptr, nullptr};
PyObject* InitHostModule() { return PyModule_Create(&kHostModule); }

// Built when the library is loaded, finalized when it is unloaded.
CFontSubsetBridge g_bridge;
}  // namespace

CFontSubsetBridge& CFontSubsetBridge::Instance() { return g_bridge; }

CFontSubsetBridge::CFontSubsetBridge() { Start(); }

void CFontSubsetBridge::Start() {
    // Isolated: no PYTHON* variables, no user site, and neither the current
    // folder nor a script folder at the front of the path, so a project
    // cannot bring a myFont of its own. The home is the interpreter this was
    // built against, whatever python3 comes first on PATH.
    // UTF-8 mode: paths and texts reach the script as UTF-8 whatever the
    // locale, so an output folder named 输出 or é works.
    PyPreConfig preconfig;
    PyPreConfig_InitIsolatedConfig(&preconfig);
    preconfig.utf8_mode = 1;
    if (PyStatus_Exception(Py_PreInitialize(&preconfig))) return;
    // Before the interpreter starts: the scripts import it like any module.
    PyImport_AppendInittab("_tamsel", &InitHostModule);
    PyConfig config;
    PyConfig_InitIsolatedConfig(&config);
    // The script folder may be read-only (an installed studio), and belongs
    // to no project: nothing is written beside the scripts.
    config.write_bytecode = 0;
    PyConfig_SetBytesString(&config, &config.home, TAMSEL_PYTHON_HOME);
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status) || !Py_IsInitialized()) return;
    m_started = true;

    // The studio says where its script modules are.
    if (PyObject* path = PySys_GetObject("path")) {  // borrowed
        PyObject* dir = PyUnicode_DecodeFSDefault(GetStudioScriptDir().c_str());
        if (dir) PyList_Insert(path, 0, dir);
        Py_XDECREF(dir);
    }
    Bind("myFont");
    // Other threads may call in; the GIL is taken per call.
    m_mainThread = PyEval_SaveThread();
}

CFontSubsetBridge::CFontSubsetBridge(const std::string& module, const std::string& dir) {
    if (!Py_IsInitialized()) return;
    Gil gil;
    PyObject* path = PySys_GetObject("path");  // borrowed
    PyObject* entry = PyUnicode_DecodeFSDefault(dir.c_str());
    if (path && entry) PyList_Insert(path, 0, entry);
    Bind(module.c_str());
    // The folder was only for this import.
    if (path && entry) {
        const Py_ssize_t at = PySequence_Index(path, entry);
        if (at >= 0) PySequence_DelItem(path, at);
    }
    Py_XDECREF(entry);
    PyErr_Clear();
}

void CFontSubsetBridge::Bind(const char* name) {
    PyObject* module = PyImport_ImportModule(name);
    if (module) {
        if (PyObject* file = PyObject_GetAttrString(module, "__file__")) {
            if (const char* s = PyUnicode_Check(file) ? PyUnicode_AsUTF8(file) : nullptr) m_moduleFile = s;
            Py_DECREF(file);
        }
        PyObject** fields[] = {&m_subset, &m_subsetText, &m_size};
        const char* names[] = {"FontSubset", "FontSubsetText", "GetFontSubSetFileSize"};
        bool all = true;
        for (int i = 0; i < 3 && all; ++i) {
            PyObject* f = PyObject_GetAttrString(module, names[i]);
            if (!f || !PyCallable_Check(f)) {
                Py_XDECREF(f);
                all = false;
                break;
            }
            *fields[i] = f;
        }
        m_ready = all;
        Py_DECREF(module);
    }
    PyErr_Clear();
}

CFontSubsetBridge::~CFontSubsetBridge() {
    if (!m_started) {
        // A binding on the process's interpreter: drop its references only.
        if (!Py_IsInitialized()) return;
        Gil gil;
        Py_XDECREF(m_extra);
        Py_XDECREF(m_subset);
        Py_XDECREF(m_subsetText);
        Py_XDECREF(m_size);
        return;
    }
    PyEval_RestoreThread(static_cast<PyThreadState*>(m_mainThread));
    Py_XDECREF(m_extra);
    Py_XDECREF(m_subset);
    Py_XDECREF(m_subsetText);
    Py_XDECREF(m_size);
    m_extra = m_subset = m_subsetText = m_size = nullptr;
    m_ready = false;
    Py_Finalize();
}

void CFontSubsetBridge::SubsetKeepList(const std::string& chars, const std::string& source,
                                       const std::string& output, int face) {
    if (!m_ready) return;
    Gil gil;
    if (!m_extra) {
        m_extra = PyList_New(160);
        Py_ssize_t i = 0;
        for (long c = 0x0900; c <= 0x097F; ++c) PyList_SET_ITEM(m_extra, i++, PyLong_FromLong(c));
        for (long c = 0xA8E0; c <= 0xA8FF; ++c) PyList_SET_ITEM(m_extra, i++, PyLong_FromLong(c));
    }
    PyObject* r = PyObject_CallFunction(m_subset, "ssOsi", source.c_str(), chars.c_str(), m_extra, output.c_str(),
                                        face < 0 ? 0 : face);
    TakeResult(r);
}

void CFontSubsetBridge::SubsetText(const std::string& chars, const std::string& source, const std::string& output,
                                   int face) {
    if (!m_ready) return;
    Gil gil;
    PyObject* r =
        PyObject_CallFunction(m_subsetText, "sssi", source.c_str(), chars.c_str(), output.c_str(), face < 0 ? 0 : face);
    TakeResult(r);
}

void CFontSubsetBridge::TakeResult(PyObject* r) {
    m_lastError = r ? std::string() : TakeError();
    // The studio's module names the engine that cut the file; another
    // script's result means nothing here.
    m_lastEngine.clear();
    if (r && PyUnicode_Check(r))
        if (const char* s = PyUnicode_AsUTF8(r)) m_lastEngine = s;
    Py_XDECREF(r);
    PyErr_Clear();
}

int CFontSubsetBridge::SubsetFileSize(const std::string& output) {
    if (!m_ready) return 0;
    Gil gil;
    PyObject* r = PyObject_CallFunction(m_size, "s", output.c_str());
    int size = 0;
    if (r && PyLong_Check(r)) {
        const long long v = PyLong_AsLongLong(r);
        size = static_cast<int>(static_cast<uint32_t>(v));
    }
    Py_XDECREF(r);
    PyErr_Clear();
    return size;
}

bool CFontSubsetBridge::HasDevanagari(const std::u16string& text) {
    for (char16_t c : text)
        if ((c >= 0x0900 && c <= 0x097F) || (c >= 0xA8E0 && c <= 0xA8FF)) return true;
    return false;
}

std::string CFontSubsetBridge::ModuleSearchPath() const {
    if (!m_started) return {};
    Gil gil;
    std::string out;
    if (PyObject* path = PySys_GetObject("path"))
        for (Py_ssize_t i = 0; i < PyList_Size(path); ++i) {
            PyObject* item = PyList_GetItem(path, i);
            const char* s = PyUnicode_Check(item) ? PyUnicode_AsUTF8(item) : nullptr;
            out += s ? s : "";
            out += '\n';
        }
    PyErr_Clear();
    return out;
}

double CFontSubsetBridge::SubsetFontTable(const TTFMapTable& table, const std::u16string& outDir) {
    WCHAR fonts[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, fonts, CSIDL_FONTS, FALSE);
    CTrueTypeCollection collection;
    // Windows' 32-bit count, wrapping as it would.
    uint32_t bytes = 0;
    for (const auto& row : table) {
        const std::u16string& key = row.first;
        const std::u16string& file = row.second.first;
        const std::u16string& chars = row.second.second;
        const CString source = Format(u"%s\\%s", fonts, file.c_str());
        const bool ttf = file.find(u".ttf") != std::u16string::npos || file.find(u".TTF") != std::u16string::npos;
        // The key is a face or pack name: it names a file of the folder, never a path.
        const CString output =
            Format(ttf ? u"%s\\%s.ttf" : u"%s\\%s.ttc", outDir.c_str(), winfiles::SafeFileName(key).c_str());
        // The script sees native paths.
        const std::string src = NativeExistingPath(source), out = NativePath(output.str());
        const std::string text = Unicode_ConvertTo_Utf8(chars);
        const int face = collection.Open(Utf8ToUtf16(src).c_str()) ? collection.FindFontIndex(key) : -1;
        m_lastError.clear();
        m_lastEngine.clear();
        if (HasDevanagari(chars))
            SubsetKeepList(text, src, out, face);
        else
            SubsetText(text, src, out, face);
        // Not examined here; kept for the host. A source that is not there is
        // a font the workstation lacks, not a failed write.
        if (!m_lastError.empty() && winfiles::IsRegularFile(src))
            winfiles::RecordFailure(out, "cannot cut the subset: " + m_lastError);
        if (m_lastError.empty() && !m_lastEngine.empty()) {
            noteSubsetEngine(key, m_lastEngine);
            // What the compile library records as this build's file.
            winfiles::FileStamp stamp;
            if (winfiles::StampFile(out, &stamp)) winfiles::NoteWritten(out, stamp);
        }
        bytes += static_cast<uint32_t>(SubsetFileSize(out));
    }
    return static_cast<int32_t>(bytes) * 1.0 / 1048576.0;
}
