// Our file types as desktops see them once installed for one user: Qt's
// QMimeDatabase and GIO over the description in a private XDG_DATA_HOME,
// with real certificate revocation lists (made by openssl) beside intro
// libraries, and hi-colour libraries with and without their extension.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMimeDatabase>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool Sh(const std::string& line) {
    return std::system(("bash -c " + Quote(line) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& line) {
    std::string out;
    if (FILE* p = ::popen(("bash -c " + Quote(line) + " 2>/dev/null").c_str(), "r")) {
        char buf[256];
        while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        ::pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// The files, what each is, and whether a per-user install can tell it in
// Qt (Qt 6.4 lets the system folder's content rules win over a user's, so an
// .HCL without its extension reads as JPEG XL there; merged into the
// system's own database, as a package installs it, it is typed right).
struct Expected {
    const char* file;
    const char* type;
    bool perUserQt;
};
const Expected kFiles[] = {
    {"pem.crl", "application/pkix-crl", true},     {"der.crl", "application/pkix-crl", true},
    {"REVOKED.CRL", "application/pkix-crl", true}, {"intro.crl", "application/x-qvx-crl", true},
    {"INTRO.CRL", "application/x-qvx-crl", true},  {"sprites.hcl", "application/x-qvx-hcl", true},
    {"sprites", "application/x-qvx-hcl", false},
};

class MimeTypes : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = (fs::temp_directory_path() / ("qvx_mime_" + std::to_string(::getpid()))).string();
        fs::remove_all(dir_);
        // Per user: ours alone in XDG_DATA_HOME. System: ours merged with the
        // system's description in one folder.
        fs::create_directories(dir_ + "/home/mime/packages");
        fs::create_directories(dir_ + "/system/mime/packages");
        fs::copy_file(QVX_MIME_XML, dir_ + "/home/mime/packages/qvx-asset-tools.xml");
        fs::copy_file(QVX_MIME_XML, dir_ + "/system/mime/packages/qvx-asset-tools.xml");
        std::error_code ec;
        fs::copy_file("/usr/share/mime/packages/freedesktop.org.xml",
                      dir_ + "/system/mime/packages/freedesktop.org.xml", ec);
        ready_ = !ec && Sh("update-mime-database " + Quote(dir_ + "/home/mime") +
                           " && update-mime-database " + Quote(dir_ + "/system/mime"));
        const std::string d = Quote(dir_);
        certificates_ = Sh(
            "cd " + d +
            " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 1 "
            "-subj /CN=qvx && mkdir ca && touch ca/index.txt && echo 01 > ca/crlnumber && "
            "printf '[ca]\\ndefault_ca=d\\n[d]\\ndatabase=ca/index.txt\\ncrlnumber=ca/crlnumber\\n"
            "default_md=sha256\\ndefault_crl_days=1\\n' > ca.cnf && "
            "openssl ca -config ca.cnf -gencrl -keyfile ca.key -cert ca.pem -out pem.crl && "
            "openssl crl -in pem.crl -outform DER -out der.crl && cp der.crl REVOKED.CRL");
        std::ofstream intro(dir_ + "/intro.crl", std::ios::binary);
        intro.write("CR10", 4);
        intro << std::string(1032, '\0');
        intro.close();
        fs::copy_file(dir_ + "/intro.crl", dir_ + "/INTRO.CRL");
        fs::copy_file(std::string(QVX_FORM_CORPUS) + "/hicolor.hcl", dir_ + "/sprites.hcl");
        fs::copy_file(std::string(QVX_FORM_CORPUS) + "/hicolor.hcl", dir_ + "/sprites");
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    // Qt's answer for every file, in a child process whose environment
    // points Qt at one layout before it reads any MIME data.
    static std::vector<std::string> QtTypes(const std::string& dataHome,
                                            const std::string& dataDirs) {
        const std::string out = dir_ + "/qt.out";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
            ::setenv("XDG_DATA_DIRS", dataDirs.c_str(), 1);
            std::ofstream o(out);
            QMimeDatabase db;
            for (const Expected& e : kFiles)
                o << db.mimeTypeForFile(QString::fromStdString(P(e.file))).name().toStdString()
                  << "\n";
            o << db.mimeTypeForName("application/pkix-crl").comment().toStdString() << "\n";
            o.close();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::vector<std::string> lines;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    static std::string P(const std::string& name) { return dir_ + "/" + name; }
    static inline std::string dir_;
    static inline bool ready_ = false, certificates_ = false;
};

TEST_F(MimeTypes, QtTypesCertificateListsAndLibrariesByContent) {
    if (!ready_) GTEST_SKIP() << "update-mime-database or the system's MIME description is missing";
    ASSERT_TRUE(certificates_) << "openssl could not make certificate revocation lists";
    const std::vector<std::string> perUser = QtTypes(P("home"), "/usr/local/share:/usr/share");
    const std::vector<std::string> system = QtTypes(P("nowhere"), P("system"));
    ASSERT_EQ(perUser.size(), std::size(kFiles) + 1);
    ASSERT_EQ(system.size(), std::size(kFiles) + 1);
    for (size_t i = 0; i < std::size(kFiles); ++i) {
        if (kFiles[i].perUserQt) {
            EXPECT_EQ(perUser[i], kFiles[i].type) << kFiles[i].file << " installed for one user";
        }
        EXPECT_EQ(system[i], kFiles[i].type) << kFiles[i].file << " installed for the system";
    }
    EXPECT_EQ(perUser.back(), "certificate revocation list");
}

TEST_F(MimeTypes, GioTypesThemAlike) {
    if (!ready_ || !Sh("command -v gio"))
        GTEST_SKIP() << "update-mime-database or gio is not installed";
    ASSERT_TRUE(certificates_);
    for (const Expected& e : kFiles)
        EXPECT_EQ(Output("XDG_DATA_HOME=" + Quote(P("home")) +
                         " GIO_USE_VFS=local gio info -a "
                         "standard::content-type " +
                         Quote(P(e.file)) + " | sed -n 's/.*content-type: //p'"),
                  e.type)
            << e.file;
}

}  // namespace
