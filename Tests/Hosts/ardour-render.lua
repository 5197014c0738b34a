-- Renders a sine through one Linux VST2 plug-in inside Ardour, headless.
-- Run by ardour-render.sh, once per process:
--   create SESSION_DIR NAME PLUGIN RATE SECONDS FREQ LEVEL_DB CHANNELS PARAMS
--   reload SESSION_DIR NAME PLUGIN RATE SECONDS PARAMS
-- PARAMS is "Label=value,Label=value" (host-normalized values) or "-".
-- Each pass prints "RENDER <channel> <file>" lines and ends with "DONE <mode>".
-- Renders are bounces, not exports: Ardour 7.3's simple_export corrupts the heap in about a
-- third of headless runs. The reload is a second process: close_session followed by
-- load_session in one process hangs when Ardour next closes the session.

io.stdout:setvbuf("no")

local mode, dir, name, plugin_name, rate = arg[1], arg[2], arg[3], arg[4], tonumber(arg[5])
local seconds = tonumber(arg[6])

local function fail(msg)
  print("LUA-ERROR " .. tostring(msg))
  os.exit(3)
end

local function start_engine()
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  if not backend then fail("no dummy backend") end
  AudioEngine:set_device_name("Silence")
  AudioEngine:set_sample_rate(rate)
  AudioEngine:set_buffer_size(512)
  if AudioEngine:start(false) ~= 0 then fail("audio engine did not start") end
end

local function parse_params(text)
  local list = {}
  if text == nil or text == "-" or text == "" then return list end
  for item in string.gmatch(text, "[^,]+") do
    local label, value = string.match(item, "^%s*(.-)%s*=%s*(.-)%s*$")
    if not label or not tonumber(value) then fail("bad parameter setting '" .. item .. "'") end
    list[#list + 1] = { label = label, value = tonumber(value) }
  end
  return list
end

-- VST2 parameters are addressed by index; the label is what a user sees.
local function param_index(proc, label)
  local plug = proc:to_insert():plugin(0)
  local labels = {}
  for j = 0, plug:parameter_count() - 1 do
    local _, d = plug:get_parameter_descriptor(j, ARDOUR.ParameterDescriptor())
    if d[2].label == label then return j end
    labels[#labels + 1] = d[2].label
  end
  fail("plug-in has no parameter '" .. label .. "' (has: " .. table.concat(labels, ", ") .. ")")
end

local function print_params(proc, params)
  for _, p in ipairs(params) do
    local v = ARDOUR.LuaAPI.get_processor_param(proc, param_index(proc, p.label), true)
    print(string.format("PARAM %s %.9g", p.label, v))
  end
end

local function find_plugin(track)
  local i = 0
  while true do
    local p = track:nth_plugin(i)
    if p:isnil() then return nil end
    if p:name() == plugin_name then return p end
    i = i + 1
  end
end

-- Offline bounce up to and including the plug-in: deterministic, no fader or panner.
local function render(track, proc, label)
  -- Both passes let the plug-in idle on silence first, so that parameter smoothing has
  -- settled whether the values came from the host just now or from the saved session.
  ARDOUR.LuaAPI.usleep(1000000)
  local region = track:bounce_range(0, math.floor(rate * seconds), ARDOUR.InterThreadInfo(), proc, true, label)
  if region:isnil() then fail("bounce produced no region") end
  local audio = region:to_audioregion()
  for c = 0, audio:n_channels() - 1 do
    print(string.format("RENDER %d %s", c, region:source(c):to_filesource():path()))
  end
end

local function create()
  local freq, level, channels = tonumber(arg[7]), tonumber(arg[8]), tonumber(arg[9])
  local params = parse_params(arg[10])
  start_engine()
  if not create_session(dir, name, rate) then fail("could not create session") end
  -- 32-bit float WAV, so the renders are compared without quantization.
  Session:cfg():set_native_file_data_format(0)
  Session:cfg():set_native_file_header_format(1)

  local tracks = Session:new_audio_track(channels, channels, nil, 1, "Render",
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
  if tracks:size() ~= 1 then fail("could not add a track") end
  local track = tracks:front()

  -- The generator runs free while the engine idles, so its phase at any moment is
  -- arbitrary: bounce it once into a region that both renders then play from disk.
  local gen = ARDOUR.LuaAPI.new_luaproc(Session, "Host Test Sine")
  if gen:isnil() then fail("no 'Host Test Sine' generator (scripts folder not set up?)") end
  ARDOUR.LuaAPI.set_processor_param(gen, 0, freq)
  ARDOUR.LuaAPI.set_processor_param(gen, 1, level)
  track:add_processor_by_index(gen, 0, nil, true)
  local sine = track:bounce_range(0, math.floor(rate * seconds), ARDOUR.InterThreadInfo(), gen, true, "sine")
  if sine:isnil() then fail("could not bounce the sine") end
  track:remove_processor(gen, nil, true)
  track:playlist():add_region(sine, Temporal.timepos_t(0), 1, false, 0, 0, false)
  for c = 0, sine:to_audioregion():n_channels() - 1 do
    print(string.format("SOURCE %d %s", c, sine:source(c):to_filesource():path()))
  end

  -- Keep the track's channel count through the plug-in, whatever its widest layout is.
  track:set_strict_io(true)
  local proc = ARDOUR.LuaAPI.new_plugin(Session, plugin_name, ARDOUR.PluginType.LXVST, "")
  if proc:isnil() then fail("Ardour did not find LXVST plug-in '" .. plugin_name .. "'") end
  if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("could not insert the plug-in") end
  for _, p in ipairs(params) do
    if not ARDOUR.LuaAPI.set_processor_param(proc, param_index(proc, p.label), p.value) then
      fail("could not set " .. p.label)
    end
  end
  print_params(proc, params)
  render(track, proc, "first")
  if Session:save_state("", false, false, false, false, false) ~= 0 then fail("could not save the session") end
end

-- A fresh process loads the saved session: new plug-in instance, state from the host's file.
local function reload()
  local params = parse_params(arg[7])
  start_engine()
  if not load_session(dir, name) then fail("could not load session") end
  local route = Session:route_by_name("Render")
  if route:isnil() then fail("reloaded session has no track") end
  local track = route:to_track()
  local proc = find_plugin(track)
  if not proc then fail("reloaded session lost plug-in '" .. plugin_name .. "'") end
  print_params(proc, params)
  render(track, proc, "second")
end

if mode == "create" then create()
elseif mode == "reload" then reload()
else fail("unknown mode " .. tostring(mode)) end
print("DONE " .. mode)
