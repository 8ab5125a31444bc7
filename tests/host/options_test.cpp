#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

#include "cli/options.h"

namespace vantrel {
namespace {

Options parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"vantrel"};
    argv.insert(argv.end(), arguments);
    return parse_options(static_cast<int>(argv.size()), argv.data());
}

std::string usage_error(std::initializer_list<const char*> arguments) {
    try {
        parse(arguments);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(Options, ConvertTakesInputsAndEveryOption) {
    Options o = parse({"convert", "-d", "out", "--preset", "5", "--tag", "artist=A",
                       "--tag=album=B=C", "-j", "3", "-q", "a.flac", "b.mp3"});
    EXPECT_EQ(o.command, Command::convert);
    EXPECT_EQ(o.convert.inputs, (std::vector<std::string>{"a.flac", "b.mp3"}));
    EXPECT_EQ(o.convert.output_dir, "out");
    EXPECT_EQ(o.convert.encoding.preset, 5);
    ASSERT_EQ(o.convert.tags.size(), 2u);
    EXPECT_EQ(o.convert.tags[0], (std::pair<std::string, std::string>{"artist", "A"}));
    EXPECT_EQ(o.convert.tags[1], (std::pair<std::string, std::string>{"album", "B=C"}));
    EXPECT_EQ(o.convert.jobs, 3u);
    EXPECT_TRUE(o.convert.quiet);
}

TEST(Options, ValuesMayBeAttachedOrSeparate) {
    Options o = parse({"convert", "-oout.wma", "--jobs=2", "--profile", "p.prx", "in.wav"});
    EXPECT_EQ(o.convert.output_file, "out.wma");
    EXPECT_EQ(o.convert.jobs, 2u);
    EXPECT_EQ(o.convert.encoding.profile_file, "p.prx");
    EXPECT_EQ(parse({"convert", "-j4", "x"}).convert.jobs, 4u);
}

TEST(Options, DefaultsAreOneJobPerCoreAndNoChoice) {
    Options o = parse({"convert", "x.wav"});
    EXPECT_EQ(o.convert.jobs, 0u);
    EXPECT_FALSE(o.convert.encoding.preset);
    EXPECT_FALSE(o.convert.encoding.profile_file);
    EXPECT_FALSE(o.convert.quiet);
    EXPECT_FALSE(o.convert.output_file);
    EXPECT_FALSE(o.convert.output_dir);
}

TEST(Options, DoubleDashEndsOptions) {
    Options o = parse({"convert", "--", "-o", "--preset"});
    EXPECT_EQ(o.convert.inputs, (std::vector<std::string>{"-o", "--preset"}));
}

TEST(Options, ADashAloneIsAnInputName) {
    EXPECT_EQ(parse({"convert", "-"}).convert.inputs, std::vector<std::string>{"-"});
}

TEST(Options, PresetMustBeAWholeNumberFromZeroToEight) {
    EXPECT_EQ(parse({"convert", "--preset", "0", "x"}).convert.encoding.preset, 0);
    EXPECT_EQ(parse({"convert", "--preset", "8", "x"}).convert.encoding.preset, 8);
    for (const char* bad : {"9", "-1", "two", "", "3.5", "4x"})
        EXPECT_TRUE(usage_error({"convert", "--preset", bad, "x"}).find("--preset") !=
                    std::string::npos)
            << bad;
}

TEST(Options, UsageErrorsNameTheProblem) {
    EXPECT_EQ(usage_error({}), "no command given");
    EXPECT_EQ(usage_error({"encode"}), "unknown command 'encode'");
    EXPECT_EQ(usage_error({"convert"}), "convert needs at least one input file or folder");
    EXPECT_EQ(usage_error({"convert", "-x", "a"}), "unknown option '-x' for convert");
    EXPECT_EQ(usage_error({"convert", "a", "-o"}), "option -o needs a value");
    EXPECT_EQ(usage_error({"convert", "-o", "x.wma", "a", "b"}),
              "-o names one output file, but 2 inputs were given; use -d DIR instead");
    EXPECT_EQ(usage_error({"convert", "-o", "x", "-d", "y", "a"}),
              "-o and -d cannot be used together");
    EXPECT_EQ(usage_error({"convert", "--preset", "1", "--profile", "p.prx", "a"}),
              "--preset and --profile cannot be used together");
    EXPECT_EQ(usage_error({"convert", "--tag", "novalue", "a"}),
              "--tag needs NAME=VALUE, not 'novalue'");
    EXPECT_EQ(usage_error({"convert", "--tag", "=x", "a"}), "--tag needs NAME=VALUE, not '=x'");
    EXPECT_EQ(usage_error({"convert", "-j", "0", "a"}),
              "option -j needs a whole number from 1 to 1024, not '0'");
    EXPECT_EQ(usage_error({"convert", "--quiet=yes", "a"}), "option --quiet takes no value");
    EXPECT_EQ(usage_error({"convert", "-o", "", "a"}), "option -o needs a non-empty value");
    EXPECT_EQ(usage_error({"convert", "-o", "a.wma", "-o", "b.wma", "a"}), "option -o given twice");
    EXPECT_EQ(usage_error({"convert", "-o", "-", "a"}),
              "-o - (standard output) is not supported; name a file or a named pipe");
}

TEST(Options, AnEmptyTagValueIsKeptToRemoveTheField) {
    Options o = parse({"convert", "--tag", "comment=", "a"});
    ASSERT_EQ(o.convert.tags.size(), 1u);
    EXPECT_EQ(o.convert.tags[0].second, "");
}

TEST(Options, HelpAndVersion) {
    EXPECT_EQ(parse({"--help"}).command, Command::help);
    EXPECT_EQ(parse({"-h"}).command, Command::help);
    EXPECT_EQ(parse({"--version"}).command, Command::version);
    EXPECT_EQ(parse({"convert", "--help"}).command, Command::help);
    EXPECT_NE(usage_text().find("convert [OPTIONS] INPUT..."), std::string::npos);
}

TEST(Options, TagsListsTheFieldsAndTakesNothingElse) {
    EXPECT_EQ(parse({"tags"}).command, Command::tags);
    EXPECT_EQ(usage_error({"tags", "x"}), "tags takes no arguments ('x')");
    EXPECT_NE(usage_text().find("'vantrel tags'"), std::string::npos);
}

TEST(Options, ComponentsFolderBeforeOrAfterTheCommand) {
    EXPECT_EQ(parse({"--components", "/c", "components"}).components_dir, "/c");
    EXPECT_EQ(parse({"components", "--components=/d"}).components_dir, "/d");
    EXPECT_EQ(parse({"convert", "--components", "/e", "a"}).components_dir, "/e");
    EXPECT_EQ(usage_error({"components", "extra"}), "components takes no operands ('extra')");
}

TEST(Options, SettingsActions) {
    EXPECT_EQ(parse({"settings"}).settings.action, SettingsAction::dialog);
    EXPECT_EQ(parse({"settings", "--show"}).settings.action, SettingsAction::show);
    EXPECT_EQ(parse({"settings", "--reset"}).settings.action, SettingsAction::reset);
    Options store = parse({"settings", "--preset", "7"});
    EXPECT_EQ(store.settings.action, SettingsAction::store);
    EXPECT_EQ(store.settings.encoding.preset, 7);
    EXPECT_EQ(usage_error({"settings", "--show", "--reset"}),
              "settings takes one of --show, --reset, or --preset/--profile");
    EXPECT_EQ(usage_error({"settings", "--preset", "1", "--profile", "x"}),
              "--preset and --profile cannot be used together");
    EXPECT_EQ(usage_error({"settings", "file"}), "settings takes no file operands ('file')");
}

TEST(Options, NoCoverLeavesThePictureOut) {
    EXPECT_TRUE(parse({"convert", "a.flac"}).convert.cover);
    EXPECT_FALSE(parse({"convert", "--no-cover", "a.flac"}).convert.cover);
    EXPECT_EQ(usage_error({"convert", "--no-cover=yes", "a.flac"}),
              "option --no-cover takes no value");
}

TEST(Options, ExistingOutputsAreKeptUnlessForcedOrUpdated) {
    EXPECT_EQ(parse({"convert", "a.flac"}).convert.existing, ExistingOutput::keep);
    EXPECT_FALSE(parse({"convert", "a.flac"}).convert.existing_given);
    EXPECT_EQ(parse({"convert", "-n", "a.flac"}).convert.existing, ExistingOutput::keep);
    EXPECT_TRUE(parse({"convert", "-n", "a.flac"}).convert.existing_given);
    EXPECT_EQ(parse({"convert", "--update", "a.flac"}).convert.existing, ExistingOutput::update);
    EXPECT_EQ(parse({"convert", "-u", "-u", "a.flac"}).convert.existing, ExistingOutput::update);
    EXPECT_EQ(parse({"convert", "-f", "a.flac"}).convert.existing, ExistingOutput::replace);
    EXPECT_EQ(parse({"convert", "--force", "-f", "a.flac"}).convert.existing,
              ExistingOutput::replace);
    const std::string exclusive =
        "-n (keep existing outputs), -u (update them) and -f (replace them) exclude each other";
    EXPECT_EQ(usage_error({"convert", "-n", "--update", "a.flac"}), exclusive);
    EXPECT_EQ(usage_error({"convert", "-f", "-n", "a.flac"}), exclusive);
    EXPECT_EQ(usage_error({"convert", "-u", "--force", "a.flac"}), exclusive);
    EXPECT_EQ(usage_error({"convert", "-u=1", "a.flac"}), "option -u takes no value");
    EXPECT_EQ(usage_error({"convert", "--force=yes", "a.flac"}), "option --force takes no value");
    EXPECT_FALSE(parse({"convert", "a.flac"}).convert.reencode_wma);
    EXPECT_TRUE(parse({"convert", "--reencode-wma", "a.wma"}).convert.reencode_wma);
    EXPECT_FALSE(parse({"convert", "a.flac"}).convert.safe_names);
    EXPECT_TRUE(parse({"convert", "--safe-names", "a.flac"}).convert.safe_names);
    EXPECT_EQ(usage_error({"convert", "--safe-name", "a.flac"}),
              "unknown option '--safe-name' for convert; did you mean '--safe-names'?");
}

TEST(Options, VerboseAndQuietAreLevelsOfOneScale) {
    EXPECT_TRUE(parse({"convert", "-v", "a.flac"}).convert.verbose);
    EXPECT_TRUE(parse({"convert", "--verbose", "a.flac"}).convert.verbose);
    EXPECT_FALSE(parse({"convert", "a.flac"}).convert.verbose);
    EXPECT_EQ(usage_error({"convert", "-q", "-v", "a.flac"}), "-q and -v cannot be used together");
    EXPECT_EQ(usage_error({"convert", "--verbose=2", "a.flac"}), "option --verbose takes no value");
}

TEST(Options, MistypedNamesGetASuggestion) {
    EXPECT_EQ(usage_error({"convert", "--presett", "5", "a"}),
              "unknown option '--presett' for convert; did you mean '--preset'?");
    EXPECT_EQ(usage_error({"convert", "--presett=5", "a"}),
              "unknown option '--presett' for convert; did you mean '--preset'?");
    EXPECT_EQ(usage_error({"convert", "-preset", "5", "a"}),
              "unknown option '-preset' for convert; did you mean '--preset'?");
    EXPECT_EQ(usage_error({"convert", "--ouptut-dir", "o", "a"}),
              "unknown option '--ouptut-dir' for convert; did you mean '--output-dir'?");
    EXPECT_EQ(usage_error({"convert", "--dryrun", "a"}),
              "unknown option '--dryrun' for convert; did you mean '--dry-run'?");
    EXPECT_EQ(usage_error({"settings", "--sho"}),
              "unknown option '--sho' for settings; did you mean '--show'?");
    EXPECT_EQ(usage_error({"components", "--component", "x"}),
              "unknown option '--component' for components; did you mean '--components'?");
    EXPECT_EQ(usage_error({"conver", "a"}), "unknown command 'conver'; did you mean 'convert'?");
    EXPECT_EQ(usage_error({"setings"}), "unknown command 'setings'; did you mean 'settings'?");
    EXPECT_EQ(usage_error({"tag"}), "unknown command 'tag'; did you mean 'tags'?");
    // Nothing close: no guess.
    EXPECT_EQ(usage_error({"convert", "--loudness", "a"}),
              "unknown option '--loudness' for convert");
    EXPECT_EQ(usage_error({"convert", "-x", "a"}), "unknown option '-x' for convert");
}

TEST(Options, APresetGivenAsABitRateOrAWordIsNamed) {
    EXPECT_EQ(usage_error({"convert", "--preset", "128", "a"}),
              "option --preset needs a whole number from 0 to 8, not '128'; did you mean "
              "--preset 5 (WMA 2, 128 kbps, 44.1 kHz stereo)?");
    EXPECT_EQ(usage_error({"settings", "--preset", "192k"}),
              "option --preset needs a whole number from 0 to 8, not '192k'; did you mean "
              "--preset 7 (WMA 2, 192 kbps, 44.1 kHz stereo)?");
    EXPECT_EQ(usage_error({"convert", "--preset=Lossless", "a"}),
              "option --preset needs a whole number from 0 to 8, not 'Lossless'; did you mean "
              "--preset 8 (WMA Lossless)?");
    EXPECT_EQ(usage_error({"convert", "--preset", "100", "a"}),
              "option --preset needs a whole number from 0 to 8, not '100'");
}

} // namespace
} // namespace vantrel
