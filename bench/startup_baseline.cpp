// The floor under a log-in page request: a static program that does the same
// file work as plazet.cgi answering an empty request -- finds its settings
// file from its own path, reads it and the language file it names with one
// read each -- and prints a fixed page with one write.  bench/startup times
// plazet.cgi against it.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

char settings[64 * 1024];
char language[1024 * 1024];

ssize_t read_file(const char* path, char* buf, size_t size) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return -1;
  ssize_t n = read(fd, buf, size - 1);
  close(fd);
  if (n >= 0) buf[n] = '\0';
  return n;
}

constexpr char kPage[] =
    "Content-type: text/html\n\n"
    "<HTML>\n<HEAD>\n<meta charset=\"Shift_JIS\">\n</HEAD>\n"
    "\t\t<TITLE>Welcome to Plazet Ver2.13 for baseline</TITLE>\n"
    "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
    "Plazet Ver2.13 for baseline<BR>\n"
    "\t\t<CENTER>\n\t\t<IMG SRC=\"/plazetpic/title.jpg\" >\n"
    "\t\t<FORM ACTION=\"startup_baseline\" METHOD=POST >\n<P>"
    "<TABLE><TR><TD></TD><TD><INPUT TYPE=\"text\" NAME=\"uid\" SIZE=\"20\" MAXLENGTH=\"20\">"
    "</TD></TR>\n<TR><TD></TD><TD><INPUT TYPE=\"password\" NAME=\"upw\" SIZE=\"20\" "
    "MAXLENGTH=\"20\"></TD></TR></TABLE>\n"
    "\t\t<INPUT TYPE=\"hidden\" NAME=\"JOB\" VALUE=\"TOP\"><P>\n"
    "<INPUT TYPE=\"submit\" NAME=\"sub\" VALUE=\"\">\n"
    "</FORM>\n</CENTER>\n</BODY>\n</HTML>\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 1) return 0;

  // <own path without its extension>.ini
  char ini[300];
  size_t len = strnlen(argv[0], sizeof ini - 5);
  memcpy(ini, argv[0], len);
  ini[len] = '\0';
  if (char* dot = strrchr(ini, '.'); dot != nullptr && dot != ini) *dot = '\0';
  strcat(ini, ".ini");

  // LANGUAGE,<file>,
  char lng[1002] = "japan.lng";
  if (read_file(ini, settings, sizeof settings) > 0) {
    for (const char* line = settings; line != nullptr && *line != '\0';) {
      if (strncmp(line, "LANGUAGE,", 9) == 0) {
        size_t n = strcspn(line + 9, ",\n");
        if (n > 0 && n < sizeof lng) {
          memcpy(lng, line + 9, n);
          lng[n] = '\0';
        }
        break;
      }
      line = strchr(line, '\n');
      if (line != nullptr) ++line;
    }
  }
  read_file(lng, language, sizeof language);

  ssize_t unused = write(STDOUT_FILENO, kPage, sizeof kPage - 1);
  (void)unused;
  return 0;
}
