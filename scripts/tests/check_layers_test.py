#!/usr/bin/env python3
"""Runs scripts/check_layers.py on small made-up trees: an allowed include passes, and
each kind of forbidden include fails the check with a line naming the file."""
import importlib
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).resolve().parent.parent / "check_layers.py"
ORDER = "foreach(subsystem\n    platform\n    resources\n    equalizer\n    settings\n    tags\n    playlist\n" \
        "    playback\n    equalizer/ui\n    skin\n    shell\n    app)\nendforeach()\n"


def load_checker():
    # The checker is a script beside this folder, not a package: import it by its folder.
    sys.path.insert(0, str(CHECKER.parent))
    try:
        return importlib.import_module("check_layers")
    finally:
        sys.path.pop(0)


class CheckLayers(unittest.TestCase):
    @staticmethod
    def write_tree(root, files):
        (root / "CMakeLists.txt").write_text(ORDER)
        for name, includes in files.items():
            path = root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            text = includes if isinstance(includes, str) else "".join(f'#include "{target}"\n' for target in includes)
            path.write_text(text)

    def run_on(self, files):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            self.write_tree(root, files)
            done = subprocess.run([sys.executable, str(CHECKER), str(root)], capture_output=True, text=True)
            return done.returncode, done.stdout

    def test_allowed_includes_pass(self):
        code, out = self.run_on({
            "equalizer/dsp/band.cpp": ["equalizer/band_values.h", "equalizer/dsp/band.h", "platform/file_io.h"],
            "equalizer/ui/window_win.cpp": ["playback/engine_state.h", "equalizer/iequalizer.h"],
            "app/main.cpp": ["equalizer/filter/property_page.h", "skin/skin_win.h"],
        })
        self.assertEqual(code, 0, out)

    def test_upward_include_fails(self):
        code, out = self.run_on({"platform/file_io.cpp": ["playlist/playlist_entry.h"]})
        self.assertEqual(code, 1)
        self.assertIn("platform/file_io.cpp: includes playlist/playlist_entry.h", out)

    def test_include_earlier_in_order_but_not_in_the_folders_list_fails(self):
        # settings comes before tags, but tags may not include it.
        code, out = self.run_on({"tags/id3/reader.cpp": ["settings/player_settings.h"]})
        self.assertEqual(code, 1)
        self.assertIn("tags may not include settings", out)

    def test_the_playlist_window_may_read_the_settings_record(self):
        code, out = self.run_on({"playlist/playlist_window_settings_win.cpp": ["settings/player_settings.h"]})
        self.assertEqual(code, 0, out)
        # The record stays below the windows: it may not include the playlist.
        code, out = self.run_on({"settings/player_settings.h": ["playlist/playlist_entry.h"]})
        self.assertEqual(code, 1)
        self.assertIn("settings/player_settings.h: includes playlist/playlist_entry.h", out)

    def test_filter_may_not_include_the_players_equalizer_window(self):
        code, out = self.run_on({"equalizer/filter/module.cpp": ["equalizer/ui/equalizer_dialog_win.h"]})
        self.assertEqual(code, 1)
        self.assertIn("equalizer/filter/module.cpp", out)

    def test_dsp_may_not_include_the_filter(self):
        # Same top-level folder, so only the part's own list can catch it.
        code, out = self.run_on({"equalizer/dsp/band.cpp": ["equalizer/filter/module.h"]})
        self.assertEqual(code, 1)
        self.assertIn("equalizer/dsp may not include equalizer/filter", out)

    def test_only_playbacks_windows_include_resources(self):
        # The video view and the filter list are dialogs from resource templates.
        code, out = self.run_on({
            "playback/video_view_win.cpp": ["resources/menu_ids.h", "resources/resource_ids.h"],
            "playback/filter_list_win.h": ["resources/resource_ids.h"],
        })
        self.assertEqual(code, 0, out)
        # The engine, the session and any other playback file may not, _win or not.
        for name in ("playback/playback_controller.cpp", "playback/media_session_win.cpp",
                     "playback/video_view.cpp", "playback/tests/video_view_win_test.cpp"):
            code, out = self.run_on({name: ["resources/resource_ids.h"]})
            self.assertEqual(code, 1, name)
            self.assertIn(f"{name}: includes resources/resource_ids.h (playback may not include resources)", out)

    def test_only_app_includes_app(self):
        code, out = self.run_on({"shell/about_dialog_win.cpp": ["app/application_win.h"]})
        self.assertEqual(code, 1)
        self.assertIn("shell/about_dialog_win.cpp", out)

    def test_no_list_or_extra_lets_a_lower_folder_include_app(self):
        checker = load_checker()
        allowed = dict(checker.ALLOWED)
        allowed["skin"] = allowed["skin"] | {"app"}
        extras = {"playback/video_view_win": {"app"}}
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            self.write_tree(root, {"skin/skin_win.cpp": ["app/main_window_win.h"],
                                   "playback/video_view_win.cpp": ["app/dialog_entry_points.h"]})
            _, problems = checker.check(root, allowed, extras)
        self.assertEqual(sorted(problems), [
            "playback/video_view_win.cpp: includes app/dialog_entry_points.h (nothing below app includes it)",
            "skin/skin_win.cpp: includes app/main_window_win.h (nothing below app includes it)",
        ])

    def test_only_the_application_itself_and_its_tests_name_application_references(self):
        code, out = self.run_on({
            "app/application_win.h": "class Application { Application(const Application&) = delete; };\n",
            "app/tests/application_test_access.h": "struct ApplicationTestAccess { Application& app; };\n",
        })
        self.assertEqual(code, 0, out)
        for name in ("app/main_window_win.h", "app/title_display_win.cpp", "skin/skin_win.h"):
            code, out = self.run_on({name: "void Take(Application &app);\n"})
            self.assertEqual(code, 1, name)
            self.assertIn(f"{name}: takes Application&", out)


if __name__ == "__main__":
    unittest.main()
