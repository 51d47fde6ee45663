// The table of sub-commands.
#include "cli/cli.h"
#include "cli/decode_command.h"
#include "cli/encode_command.h"
#include "cli/encoder_options.h"

namespace cli {

const std::vector<Command>& commands() {
  static const std::string encoderHelp = "\n" + encoderOptionsHelp();
  static const std::string paramsHelp =
      "Usage: folim-cli params [--config FILE] " + std::string(kEncoderOptionsUsage) +
      "\n"
      "\n"
      "Prints the parameter dump for the conversion parameters read from\n"
      "config.ini, or from FILE, and then the file they came from. config.ini\n"
      "is looked for beside the program, then in $XDG_CONFIG_HOME/folim\n"
      "(~/.config/folim), then with the installed default. A file that cannot\n"
      "be opened gives the defaults. With encoder options the dump shows the\n"
      "values they make effective, followed by the encoder settings.\n" +
      encoderHelp;
  static const std::string convertHelp =
      "Usage: folim-cli convert-to-rim [--config FILE] [--method pca|ica] [--recursive]\n"
      "                                [--jobs N] " +
      std::string(kEncoderOptionsUsage) +
      "\n"
      "                                SOURCE_DIR SAVE_DIR\n"
      "\n"
      "Converts every image file of SOURCE_DIR (and of its subfolders with\n"
      "--recursive) into SAVE_DIR, which must exist: NAME.EXT becomes the name\n"
      "without its last three characters followed by \"rim\". The method is pca\n"
      "unless told otherwise. Failed files do not stop the job; the final\n"
      "message lists each failed source with the reason, and no listed source\n"
      "file is ever written over. When two sources give the same output name,\n"
      "the first in listing order that converts keeps it; the others fail.\n"
      "--jobs N converts N files at once (default: one per core); the files,\n"
      "messages and trace are those of --jobs 1, in listing order.\n" +
      encoderHelp;
  static const std::vector<Command> table = {
      {"params", "print the conversion parameters config.ini gives", paramsHelp.c_str(), runParams},
      encodeCommand(runEncode),
      decodeCommand(runDecode),
      {"preview", "draw a RIM file's patch averages, one pixel per patch",
       "Usage: folim-cli preview INPUT.rim OUTPUT.png\n"
       "\n"
       "Reads only the header and the averages of INPUT and writes one pixel per\n"
       "patch, the image the thumbnails are made from. Files in the YCbCr\n"
       "colour space have no preview.\n",
       runPreview},
      {"info", "print a RIM file's header and section sizes",
       "Usage: folim-cli info INPUT.rim\n"
       "\n"
       "Prints the header dump and the size dump of INPUT, reading only its\n"
       "header and its three section headers, and checks that the sections fill\n"
       "the file as the header says.\n",
       runInfo},
      {"convert-to-rim", "convert every image of a folder to RIM files", convertHelp.c_str(),
       runConvertToRim},
      {"convert-to-bmp", "convert every RIM file of a folder to BMP files",
       "Usage: folim-cli convert-to-bmp [--recursive] [--jobs N] SOURCE_DIR SAVE_DIR\n"
       "\n"
       "Decodes every listed file of SOURCE_DIR (and of its subfolders with\n"
       "--recursive) into SAVE_DIR as BMP files: the name without its last three\n"
       "characters followed by \"bmp\". Files that are not RIM files fail; the\n"
       "final message lists every failed source with the reason, no listed\n"
       "source file is ever written over, and of two sources with the same\n"
       "output name only the first that converts is written. --jobs N as for\n"
       "convert-to-rim.\n",
       runConvertToBmp},
      {"search", "rank the RIM files of a folder by similarity to a query",
       "Usage: folim-cli search [--color-mode block|histogram|csd | --measure NAME]\n"
       "                        [--color-weight PERCENT]\n"
       "                        [--recursive] [--top N] [--threads N] [--null | --json]\n"
       "                        [--index FILE] [--no-refresh] [--shortlist N]\n"
       "                        [--root NAME=DIR] QUERY DIR\n"
       "\n"
       "Ranks the RIM files in DIR (and its sub-folders with --recursive) whose\n"
       "bases were learned like the query's (both PCA or both ICA) by their\n"
       "similarity to QUERY.rim, reading only their bases and patch averages.\n"
       "Prints one line per file, best first: score, edge similarity, colour\n"
       "similarity and path. score = (1 - w) * edge + w * colour with w the colour\n"
       "percentage / 100. A file that cannot be read scores -1 in the measure\n"
       "concerned; a query that cannot be read fails the search. In a path, a\n"
       "backslash is printed as \\\\ and a control character as \\n, \\t, \\r or\n"
       "\\xHH, so that every file is exactly one line.\n"
       "\n"
       "  --color-mode MODE     block (block means), histogram, or csd (colour\n"
       "                        structure, the default)\n"
       "  --measure NAME        a colour mode by name (block, histogram, csd) or\n"
       "                        the robust measure (robust), which survives tone,\n"
       "                        hue and saturation edits and tiny copies; it\n"
       "                        ranks over the signature index\n"
       "  --color-weight PCT    colour percentage 0..100; default 70, or the preset\n"
       "                        of a chosen mode: block 90, histogram 75, csd 70,\n"
       "                        robust 70\n"
       "  --recursive           include sub-folders\n"
       "  --top N               print only the N best\n"
       "  --threads N           score on N threads (default: all cores); the\n"
       "                        ranking does not depend on it\n"
       "  --null                end each record with a NUL byte and print the path\n"
       "                        as it is (for xargs -0)\n"
       "  --json                one JSON object per line: score, edge, colour, path\n"
       "                        (bytes that are not UTF-8 as \\udcXX)\n"
       "\n"
       "With the signature index (--index, --no-refresh or --shortlist), QUERY may be\n"
       "any image and every picture of DIR is ranked, ordinary images learned in\n"
       "memory under config.ini's parameters; RIM files rank exactly as without it.\n"
       "  --index FILE          the index file (default: $XDG_CACHE_HOME/folim/\n"
       "                        index.sqlite, also chosen by the word default),\n"
       "                        or a PostgreSQL database: postgresql://... or\n"
       "                        \"host=... dbname=...\"\n"
       "  --no-refresh          rank what the index holds, without updating DIR first\n"
       "  --shortlist N         score exactly only the N entries the compact\n"
       "                        descriptors rank best (default 200; 0: every entry)\n"
       "  --root NAME=DIR       DIR is where the library root NAME lies on this\n"
       "                        machine: the index keeps the files under it by\n"
       "                        NAME, so that machines mounting the library at\n"
       "                        different points share their entries (remembered\n"
       "                        in the index for this machine; may be repeated)\n",
       runSearch},
      {"index", "add the pictures of folders to the signature index",
       "Usage: folim-cli index [--recursive] [--relearn] [--jobs N] [--index FILE]\n"
       "                       [--root NAME=DIR] DIR...\n"
       "\n"
       "Brings the signature index up to date with DIR (and its sub-folders with\n"
       "--recursive): new pictures are added, changed ones refreshed, vanished ones\n"
       "removed. RIM files give the signature they hold; other images are learned\n"
       "in memory under config.ini's parameters. Files that cannot be read are\n"
       "remembered and not tried again until they change; each one is listed on\n"
       "standard error with the cause, and the exit status is then 1. Prints a\n"
       "summary; a progress line goes to standard error on a terminal. Ctrl-C\n"
       "stops after the files in work and keeps every finished one; the next run\n"
       "completes it.\n"
       "\n"
       "  --relearn             learn every picture again, unchanged ones too: an\n"
       "                        index made by an earlier version then gains what\n"
       "                        this one keeps (the robust measure's relative\n"
       "                        histogram)\n"
       "  --jobs N              work on N threads (default: all cores)\n"
       "  --index FILE          the index file (default: $XDG_CACHE_HOME/folim/\n"
       "                        index.sqlite, also chosen by the word default); an\n"
       "                        existing FILE must be a Folim index or empty; a\n"
       "                        PostgreSQL database is named by a connection\n"
       "                        string: postgresql://... or \"host=... dbname=...\"\n"
       "  --root NAME=DIR       DIR is where the library root NAME lies on this\n"
       "                        machine: the index keeps the files under it by\n"
       "                        NAME, so that machines mounting the library at\n"
       "                        different points share their entries (remembered\n"
       "                        in the index for this machine; may be repeated)\n",
       runIndex},
      {"duplicates", "list groups of near-duplicate pictures of a folder",
       "Usage: folim-cli duplicates [--threshold S] [--measure NAME] [--recursive]\n"
       "                            [--index FILE] [--no-refresh] [--jobs N] [--json]\n"
       "                            [--root NAME=DIR] DIR\n"
       "\n"
       "Refreshes the index of DIR, then lists the groups of pictures whose score\n"
       "against each other is at least S (default 0.70 with the robust measure,\n"
       "0.65 with the others), one block per group separated by blank lines: the\n"
       "picture most alike to the others first, then the others, best first,\n"
       "each as score, edge and colour similarity and path. --json prints an\n"
       "array of groups of {path, score, edge, colour, color}: colour as search\n"
       "--json spells it, color (the same value) for scripts written before.\n"
       "--index, --no-refresh and --root as for search.\n"
       "\n"
       "  --measure NAME        the score: csd (the default), block, histogram or\n"
       "                        robust, each at its preset colour weight, as\n"
       "                        search --measure scores\n",
       runDuplicates},
      {"compare", "print the PSNR between two images of the same size",
       "Usage: folim-cli compare IMAGE_A IMAGE_B\n"
       "\n"
       "Prints the peak signal-to-noise ratio over the red, green and blue\n"
       "channels of two images of the same size, in decibels. RIM files are\n"
       "decoded first.\n",
       runCompare},
  };
  return table;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return runCommands(args, out, err, commands());
}

}  // namespace cli
