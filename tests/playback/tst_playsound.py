"""The proof that Aurilo plays.

The real program, on the generated demo site served by the real HTTP server,
downloads its catalog at the first start, and a double click on a resource
makes speech come out of a sound server of the test's own (a null sink whose
monitor is recorded). Nothing else plays on that server, so silence before
the double click and speech after it are the program's alone.
"""

import unittest

import aurilo_e2e as e

# Root-mean-square levels of 16-bit samples: the null sink's silence is 0, the
# demo's speech reaches thousands.
SILENCE = 50
SPEECH = 500


class TestPlaySound(unittest.TestCase):
    def setUp(self):
        self.buses = e.Buses()
        self.addCleanup(self.buses.close)
        self.sound = e.SoundServer()
        self.addCleanup(self.sound.close)
        self.site = e.DemoSite()
        self.addCleanup(self.site.close)
        self.program = e.Program(self.site, self.sound.environment())
        self.addCleanup(self.program.close)

    def test_double_clicked_resource_is_heard(self):
        self.program.start(["Yes"])  # download the catalog at the first start
        app = e.application(self.program)
        main = e.wait_window(app, "Aurilo")
        resources = e.wait_find(main, "list", "List2")
        first = e.wait_for(lambda: e.rows(resources), "the resources of the new catalog")[0]

        recorder = e.Recorder(self.sound)
        self.addCleanup(recorder.close)
        # A second of what the sink plays while nothing should play.
        e.wait_for(lambda: recorder.samples() >= e.Recorder.RATE, "a second of recording")
        line = e.row(resources, first)
        e.click(e.centre(line))
        e.wait_for(lambda: line.getState().contains(e.atspi().STATE_SELECTED), "the first resource chosen")
        before = recorder.samples()
        quiet = recorder.loudest(0, before)
        self.assertLess(quiet, SILENCE, "noise before playing: %.1f" % quiet)

        e.double_click(e.centre(line))
        e.wait_for(lambda: recorder.loudest(before) > SPEECH, "speech from the player")


if __name__ == "__main__":
    unittest.main(verbosity=2)
