ardour {
  ["type"]    = "dsp",
  name        = "Host Test Sine",
  category    = "Instrument",
  license     = "MIT",
  author      = "Emberline tests",
  description = [[Steady sine on every output; unlike SinGen its level is not smoothed per block, so an offline bounce holds a constant amplitude.]]
}

function dsp_params ()
  return {
    { ["type"] = "input", name = "Frequency", min = 20, max = 20000, default = 1000, unit = "Hz" },
    { ["type"] = "input", name = "Gain", min = -90, max = 0, default = -6, unit = "dB" },
  }
end

function dsp_ioconfig ()
  return { [1] = { audio_in = -1, audio_out = -1 } }
end

local rate = 48000
local phase = 0

function dsp_init (r)
  rate = r
end

function dsp_run (ins, outs, n_samples)
  local ctrl = CtrlPorts:array ()
  local step = 2 * math.pi * ctrl[1] / rate
  local amp = ARDOUR.DSP.dB_to_coefficient (ctrl[2])
  local a = {}
  for s = 1, n_samples do
    a[s] = amp * math.sin (phase)
    phase = phase + step
    if phase >= 2 * math.pi then phase = phase - 2 * math.pi end
  end
  for c = 1, #outs do
    outs[c]:set_table (a, n_samples)
  end
end
