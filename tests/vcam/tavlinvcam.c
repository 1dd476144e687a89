/* A virtual camera for the tests: a GStreamer device provider whose devices
 * look to any client (Qt Multimedia's device monitor among them) like USB
 * cameras of class "Video/Source".
 *
 * The cameras are described by the file named in TAVLIN_VCAM_FILE, one camera
 * a line, fields separated by ';', each field key=value:
 *
 *   id=a;name=USB Camera;format=raw;size=640x480;colour=ff0000
 *
 *   id          identity of the camera (default: its line number); a camera
 *               whose line goes away is unplugged, a new id is plugged in
 *   name        the display name (UTF-8, taken byte for byte: \NNN writes an
 *               octal byte, as a driver that cuts a name leaves one; default
 *               "Virtual Camera")
 *   format      raw or yuy2 (YUY2, as a webcam delivers), nv12, i420, or
 *               mjpeg (JFIF pictures: full-range BT.601); default raw
 *   size        WIDTHxHEIGHT (default 640x480)
 *   fps         frames a second (default 30)
 *   modes       the modes the camera offers instead of format, size and fps,
 *               separated by ',': FORMAT:WIDTHxHEIGHT@FPS with FORMAT one of
 *               YUY2, NV12, I420, MJPG; the client's caps choose among them,
 *               as with a real camera
 *   colorimetry bt601 (default) or bt709: the matrix the raw pictures are in
 *               and are tagged with (limited range)
 *   colour      the picture: one solid colour, RRGGBB in hexadecimal
 *   pattern     the picture instead: a videotestsrc pattern (snow gives
 *               photos as large as a real camera's)
 *   fail        1: the camera cannot be started: it reports itself busy at
 *               once, as a camera held by another program does
 *   stop-after  N: the camera stops delivering after N frames (it freezes)
 *   delay       N: the first picture comes N ms after the camera started
 *               streaming (a document camera warming up)
 *
 * Lines that are empty or start with '#' are ignored. Like the system's video
 * device provider, the provider announces the cameras present while it starts
 * (a client that lists the devices after starting the monitor also receives
 * these announcements); while a client watches, the file is read again every
 * 50 ms: cameras whose lines are gone are removed (a camera in use stops
 * delivering and reports an error, as an unplugged one does), new lines are
 * added.
 */
#include <gst/gst.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define PACKAGE "tavlinvcam"

/* ---- camera descriptions ---------------------------------------------- */

typedef struct {
    gchar* id;
    gchar* name;
    gboolean mjpeg;
    gint width;
    gint height;
    gint fps;
    guint32 colour;
    gchar* pattern;
    gboolean fail;
    gint stop_after;
    gint delay_ms;
    gchar* modes;
    gchar* colorimetry;
    gchar* format;
    /* Shared with the elements made for this camera: set once it is unplugged. */
    gint* removed;
} CamSpec;

static void cam_spec_free(CamSpec* spec) {
    if (spec == NULL) {
        return;
    }
    g_free(spec->id);
    g_free(spec->name);
    g_free(spec->pattern);
    g_free(spec->modes);
    g_free(spec->colorimetry);
    g_free(spec->format);
    if (spec->removed != NULL && g_atomic_int_dec_and_test(&spec->removed[1])) {
        g_free(spec->removed);
    }
    g_free(spec);
}

/* removed[0]: the flag; removed[1]: how many holders share it. */
static gint* shared_flag_ref(gint* flag) {
    g_atomic_int_inc(&flag[1]);
    return flag;
}

static void shared_flag_unref(gpointer data) {
    gint* flag = data;
    if (g_atomic_int_dec_and_test(&flag[1])) {
        g_free(flag);
    }
}

static CamSpec* cam_spec_parse(const gchar* line, guint number) {
    CamSpec* spec = g_new0(CamSpec, 1);
    spec->id = g_strdup_printf("%u", number);
    spec->name = g_strdup("Virtual Camera");
    spec->width = 640;
    spec->height = 480;
    spec->fps = 30;
    spec->colour = 0x808080;
    spec->format = g_strdup("YUY2");
    spec->colorimetry = g_strdup("bt601");
    gchar** fields = g_strsplit(line, ";", -1);
    for (gchar** field = fields; *field != NULL; ++field) {
        gchar* eq = strchr(*field, '=');
        if (eq == NULL) {
            continue;
        }
        *eq = '\0';
        const gchar* key = g_strstrip(*field);
        const gchar* value = eq + 1;
        if (strcmp(key, "id") == 0) {
            g_free(spec->id);
            spec->id = g_strdup(value);
        } else if (strcmp(key, "name") == 0) {
            g_free(spec->name);
            spec->name = g_strcompress(value);
        } else if (strcmp(key, "format") == 0) {
            spec->mjpeg = g_ascii_strcasecmp(value, "mjpeg") == 0;
            g_free(spec->format);
            spec->format = g_ascii_strcasecmp(value, "nv12") == 0   ? g_strdup("NV12")
                           : g_ascii_strcasecmp(value, "i420") == 0 ? g_strdup("I420")
                                                                    : g_strdup("YUY2");
        } else if (strcmp(key, "modes") == 0) {
            g_free(spec->modes);
            spec->modes = g_strdup(value);
        } else if (strcmp(key, "colorimetry") == 0) {
            g_free(spec->colorimetry);
            spec->colorimetry = g_strdup(value);
        } else if (strcmp(key, "delay") == 0) {
            spec->delay_ms = atoi(value);
        } else if (strcmp(key, "size") == 0) {
            sscanf(value, "%dx%d", &spec->width, &spec->height);
        } else if (strcmp(key, "fps") == 0) {
            spec->fps = atoi(value);
        } else if (strcmp(key, "colour") == 0) {
            spec->colour = (guint32)strtoul(value, NULL, 16) & 0xffffffu;
        } else if (strcmp(key, "pattern") == 0) {
            g_free(spec->pattern);
            spec->pattern = g_strdup(value);
        } else if (strcmp(key, "fail") == 0) {
            spec->fail = atoi(value) != 0;
        } else if (strcmp(key, "stop-after") == 0) {
            spec->stop_after = atoi(value);
        }
    }
    g_strfreev(fields);
    if (spec->width <= 0 || spec->height <= 0) {
        spec->width = 640;
        spec->height = 480;
    }
    if (spec->fps <= 0) {
        spec->fps = 30;
    }
    spec->removed = g_new0(gint, 2);
    spec->removed[1] = 1;
    return spec;
}

/* The cameras the file describes now, in its order. */
static GPtrArray* read_cameras(void) {
    GPtrArray* cameras = g_ptr_array_new_with_free_func((GDestroyNotify)cam_spec_free);
    const gchar* path = g_getenv("TAVLIN_VCAM_FILE");
    gchar* contents = NULL;
    if (path == NULL || !g_file_get_contents(path, &contents, NULL, NULL)) {
        return cameras;
    }
    gchar** lines = g_strsplit(contents, "\n", -1);
    guint number = 0;
    for (gchar** line = lines; *line != NULL; ++line) {
        g_strstrip(*line);
        if (**line == '\0' || **line == '#') {
            continue;
        }
        g_ptr_array_add(cameras, cam_spec_parse(*line, number++));
    }
    g_strfreev(lines);
    g_free(contents);
    return cameras;
}

/* One mode of the camera as caps: MJPG or a raw layout, size and rate. */
static GstStructure* mode_structure(const CamSpec* spec, const gchar* format, gint width,
                                    gint height, gint fps) {
    if (g_ascii_strcasecmp(format, "MJPG") == 0 || g_ascii_strcasecmp(format, "mjpeg") == 0) {
        return gst_structure_new("image/jpeg", "width", G_TYPE_INT, width, "height", G_TYPE_INT,
                                 height, "framerate", GST_TYPE_FRACTION, fps, 1, NULL);
    }
    return gst_structure_new("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT,
                             width, "height", G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION,
                             fps, 1, "colorimetry", G_TYPE_STRING, spec->colorimetry, NULL);
}

/* The modes the camera offers, in the order a driver lists them. */
static GstCaps* cam_spec_caps(const CamSpec* spec) {
    GstCaps* caps = gst_caps_new_empty();
    if (spec->modes == NULL) {
        gst_caps_append_structure(caps, mode_structure(spec, spec->mjpeg ? "MJPG" : spec->format,
                                                       spec->width, spec->height, spec->fps));
        return caps;
    }
    gchar** modes = g_strsplit(spec->modes, ",", -1);
    for (gchar** mode = modes; *mode != NULL; ++mode) {
        gchar format[16] = {0};
        gint width = 0;
        gint height = 0;
        gint fps = 0;
        if (sscanf(*mode, "%15[^:]:%dx%d@%d", format, &width, &height, &fps) == 4 && width > 0 &&
            height > 0 && fps > 0) {
            gst_caps_append_structure(caps, mode_structure(spec, format, width, height, fps));
        }
    }
    g_strfreev(modes);
    return caps;
}

static CamSpec* cam_spec_copy(const CamSpec* spec) {
    CamSpec* copy = g_new0(CamSpec, 1);
    *copy = *spec;
    copy->id = g_strdup(spec->id);
    copy->name = g_strdup(spec->name);
    copy->pattern = g_strdup(spec->pattern);
    copy->modes = g_strdup(spec->modes);
    copy->colorimetry = g_strdup(spec->colorimetry);
    copy->format = g_strdup(spec->format);
    copy->removed = shared_flag_ref(spec->removed);
    return copy;
}

/* ---- the source element of one camera ----------------------------------- */

typedef struct {
    gint* removed;
    gint stop_after;
    gint delay_ms;
    gint64 first_at; /* monotonic time of the first picture made, 0 before */
    gint delivered;
    gboolean reported;
    GstElement* bin;
} ProbeState;

static void probe_state_free(gpointer data) {
    ProbeState* state = data;
    shared_flag_unref(state->removed);
    g_free(state);
}

/* Counts the frames that leave the camera; holds them back while it warms up,
 * drops them once it has stopped or was unplugged. */
static GstPadProbeReturn on_frame(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    (void)pad;
    (void)info;
    ProbeState* state = data;
    if (g_atomic_int_get(&state->removed[0])) {
        if (!state->reported) {
            state->reported = TRUE;
            GST_ELEMENT_ERROR(state->bin, RESOURCE, READ, ("The camera was unplugged."),
                              ("virtual camera removed"));
        }
        return GST_PAD_PROBE_DROP;
    }
    if (state->first_at == 0) {
        state->first_at = g_get_monotonic_time();
    }
    if (g_get_monotonic_time() - state->first_at < (gint64)state->delay_ms * 1000) {
        return GST_PAD_PROBE_DROP;
    }
    if (state->stop_after > 0 && state->delivered >= state->stop_after) {
        return GST_PAD_PROBE_DROP;
    }
    ++state->delivered;
    return GST_PAD_PROBE_OK;
}

/* The camera as an element: a bin whose pictures are made once the client's
 * caps have chosen a mode (when it goes to READY, as a driver is set up). */
#define TAVLIN_TYPE_VCAM_SRC (tavlin_vcam_src_get_type())
G_DECLARE_FINAL_TYPE(TavlinVcamSrc, tavlin_vcam_src, TAVLIN, VCAM_SRC, GstBin)

struct _TavlinVcamSrc {
    GstBin parent;
    CamSpec* spec;
    GstPad* ghost;
    gboolean built;
};

G_DEFINE_TYPE(TavlinVcamSrc, tavlin_vcam_src, GST_TYPE_BIN)

static gboolean vcam_src_build(TavlinVcamSrc* self) {
    const CamSpec* spec = self->spec;
    GstCaps* offered = cam_spec_caps(spec);
    GstCaps* wanted = gst_pad_peer_query_caps(self->ghost, offered);
    gst_caps_unref(offered);
    if (wanted == NULL || gst_caps_is_empty(wanted)) {
        if (wanted != NULL) {
            gst_caps_unref(wanted);
        }
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("The camera has no mode the client takes."),
                          (NULL));
        return FALSE;
    }
    /* Within a mode, the fastest rate, as a driver settles. */
    wanted = gst_caps_truncate(wanted);
    GstStructure* chosen = gst_caps_get_structure(wanted, 0);
    gst_structure_fixate_field_nearest_fraction(chosen, "framerate", G_MAXINT, 1);
    wanted = gst_caps_fixate(wanted);
    chosen = gst_caps_get_structure(wanted, 0);
    gint width = 640;
    gint height = 480;
    gint num = 30;
    gint den = 1;
    gst_structure_get_int(chosen, "width", &width);
    gst_structure_get_int(chosen, "height", &height);
    gst_structure_get_fraction(chosen, "framerate", &num, &den);
    gchar* picture = spec->pattern != NULL
                         ? g_strdup_printf("pattern=%s", spec->pattern)
                         : g_strdup_printf("pattern=solid-color foreground-color=0xff%06x",
                                           spec->colour);
    gchar* caps_text = gst_caps_to_string(wanted);
    gchar* description;
    /* Pictures made in RGB and converted by the exact matrix and range. */
    if (gst_structure_has_name(chosen, "image/jpeg")) {
        description = g_strdup_printf(
            "videotestsrc is-live=true %s ! video/x-raw,format=BGRx,width=%d,height=%d,"
            "framerate=%d/%d ! videoconvert ! video/x-raw,format=I420,colorimetry=1:4:0:0 ! "
            "jpegenc quality=92 ! capsfilter caps=\"%s\"",
            picture, width, height, num, den, caps_text);
    } else {
        description = g_strdup_printf(
            "videotestsrc is-live=true %s ! video/x-raw,format=BGRx,width=%d,height=%d,"
            "framerate=%d/%d ! videoconvert ! capsfilter caps=\"%s\"",
            picture, width, height, num, den, caps_text);
    }
    g_free(caps_text);
    g_free(picture);
    gst_caps_unref(wanted);
    GError* error = NULL;
    GstElement* chain = gst_parse_bin_from_description(description, TRUE, &error);
    g_free(description);
    if (chain == NULL) {
        GST_ELEMENT_ERROR(self, CORE, FAILED, ("The camera cannot make pictures."),
                          ("%s", error != NULL ? error->message : "unknown"));
        g_clear_error(&error);
        return FALSE;
    }
    gst_bin_add(GST_BIN(self), chain);
    GstPad* src = gst_element_get_static_pad(chain, "src");
    ProbeState* state = g_new0(ProbeState, 1);
    state->removed = shared_flag_ref(spec->removed);
    state->stop_after = spec->stop_after;
    state->delay_ms = spec->delay_ms;
    state->bin = GST_ELEMENT(self);
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, on_frame, state, probe_state_free);
    gst_ghost_pad_set_target(GST_GHOST_PAD(self->ghost), src);
    gst_object_unref(src);
    self->built = TRUE;
    return TRUE;
}

static GstStateChangeReturn vcam_src_change_state(GstElement* element, GstStateChange transition) {
    TavlinVcamSrc* self = TAVLIN_VCAM_SRC(element);
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && !self->built) {
        if (self->spec->fail) {
            GST_ELEMENT_ERROR(self, RESOURCE, BUSY, ("Device is busy."),
                              ("virtual camera held by another program"));
            return GST_STATE_CHANGE_FAILURE;
        }
        if (!vcam_src_build(self)) {
            return GST_STATE_CHANGE_FAILURE;
        }
    }
    return GST_ELEMENT_CLASS(tavlin_vcam_src_parent_class)->change_state(element, transition);
}

static void tavlin_vcam_src_finalize(GObject* object) {
    cam_spec_free(TAVLIN_VCAM_SRC(object)->spec);
    G_OBJECT_CLASS(tavlin_vcam_src_parent_class)->finalize(object);
}

static void tavlin_vcam_src_class_init(TavlinVcamSrcClass* klass) {
    GST_ELEMENT_CLASS(klass)->change_state = vcam_src_change_state;
    G_OBJECT_CLASS(klass)->finalize = tavlin_vcam_src_finalize;
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Tavlin virtual camera",
                                          "Source/Video", "A camera for Tavlin's tests",
                                          "Tavlin developers");
}

static void tavlin_vcam_src_init(TavlinVcamSrc* self) {
    self->ghost = gst_ghost_pad_new_no_target("src", GST_PAD_SRC);
    gst_element_add_pad(GST_ELEMENT(self), self->ghost);
}

static GstElement* make_camera_element(const CamSpec* spec, const gchar* name) {
    TavlinVcamSrc* element = g_object_new(TAVLIN_TYPE_VCAM_SRC, NULL);
    element->spec = cam_spec_copy(spec);
    if (name != NULL) {
        gst_object_set_name(GST_OBJECT(element), name);
    }
    return GST_ELEMENT(element);
}

/* ---- the device ------------------------------------------------------- */

#define TAVLIN_TYPE_VCAM_DEVICE (tavlin_vcam_device_get_type())
G_DECLARE_FINAL_TYPE(TavlinVcamDevice, tavlin_vcam_device, TAVLIN, VCAM_DEVICE, GstDevice)

struct _TavlinVcamDevice {
    GstDevice parent;
    CamSpec* spec;
};

G_DEFINE_TYPE(TavlinVcamDevice, tavlin_vcam_device, GST_TYPE_DEVICE)

static GstElement* tavlin_vcam_device_create_element(GstDevice* device, const gchar* name) {
    return make_camera_element(TAVLIN_VCAM_DEVICE(device)->spec, name);
}

static void tavlin_vcam_device_finalize(GObject* object) {
    cam_spec_free(TAVLIN_VCAM_DEVICE(object)->spec);
    G_OBJECT_CLASS(tavlin_vcam_device_parent_class)->finalize(object);
}

static void tavlin_vcam_device_class_init(TavlinVcamDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = tavlin_vcam_device_create_element;
    G_OBJECT_CLASS(klass)->finalize = tavlin_vcam_device_finalize;
}

static void tavlin_vcam_device_init(TavlinVcamDevice* device) {
    (void)device;
}

/* Takes spec. */
static GstDevice* make_device(CamSpec* spec) {
    GstCaps* caps = cam_spec_caps(spec);
    GstStructure* props =
        gst_structure_new("tavlin-vcam", "device.id", G_TYPE_STRING, spec->id, "device.api",
                          G_TYPE_STRING, "v4l2", "device.path", G_TYPE_STRING, spec->id, NULL);
    TavlinVcamDevice* device =
        g_object_new(TAVLIN_TYPE_VCAM_DEVICE, "display-name", spec->name, "device-class",
                     "Video/Source", "caps", caps, "properties", props, NULL);
    gst_caps_unref(caps);
    gst_structure_free(props);
    device->spec = spec;
    return GST_DEVICE(device);
}

/* ---- the device provider ---------------------------------------------- */

#define TAVLIN_TYPE_VCAM_PROVIDER (tavlin_vcam_provider_get_type())
G_DECLARE_FINAL_TYPE(TavlinVcamProvider, tavlin_vcam_provider, TAVLIN, VCAM_PROVIDER,
                     GstDeviceProvider)

struct _TavlinVcamProvider {
    GstDeviceProvider parent;
    GThread* watcher;
    gint stopping;
    /* The devices announced, by camera id; touched by the watcher and by start. */
    GHashTable* announced;
    GMutex lock;
};

G_DEFINE_TYPE(TavlinVcamProvider, tavlin_vcam_provider, GST_TYPE_DEVICE_PROVIDER)

/* Brings the announced devices in line with the file: removals first, then
 * additions in the file's order. */
static void sync_devices(TavlinVcamProvider* self) {
    GPtrArray* cameras = read_cameras();
    g_mutex_lock(&self->lock);
    GHashTableIter iter;
    gpointer key;
    gpointer value;
    g_hash_table_iter_init(&iter, self->announced);
    while (g_hash_table_iter_next(&iter, &key, &value)) {
        gboolean present = FALSE;
        for (guint i = 0; i < cameras->len && !present; ++i) {
            present = strcmp(((CamSpec*)g_ptr_array_index(cameras, i))->id, key) == 0;
        }
        if (!present) {
            TavlinVcamDevice* device = value;
            g_atomic_int_set(&device->spec->removed[0], 1);
            gst_device_provider_device_remove(GST_DEVICE_PROVIDER(self), GST_DEVICE(device));
            g_hash_table_iter_remove(&iter);
        }
    }
    for (guint i = 0; i < cameras->len; ++i) {
        CamSpec* spec = g_ptr_array_index(cameras, i);
        if (g_hash_table_contains(self->announced, spec->id)) {
            continue;
        }
        g_ptr_array_index(cameras, i) = NULL;
        GstDevice* device = make_device(spec);
        g_hash_table_insert(self->announced, g_strdup(spec->id), gst_object_ref(device));
        gst_device_provider_device_add(GST_DEVICE_PROVIDER(self), device);
    }
    g_mutex_unlock(&self->lock);
    g_ptr_array_unref(cameras);
}

/* The devices now: once started, only those announced so far. */
static GList* tavlin_vcam_provider_probe(GstDeviceProvider* provider) {
    TavlinVcamProvider* self = TAVLIN_VCAM_PROVIDER(provider);
    GList* devices = NULL;
    GPtrArray* cameras = read_cameras();
    g_mutex_lock(&self->lock);
    for (guint i = 0; i < cameras->len; ++i) {
        CamSpec* spec = g_ptr_array_index(cameras, i);
        GstDevice* announced = g_hash_table_lookup(self->announced, spec->id);
        if (announced != NULL) {
            devices = g_list_append(devices, gst_object_ref(announced));
        } else if (self->watcher == NULL) { /* not started: a one-off look */
            devices = g_list_append(devices, make_device(spec));
            g_ptr_array_index(cameras, i) = NULL;
        }
    }
    g_mutex_unlock(&self->lock);
    g_ptr_array_unref(cameras);
    return devices;
}

static gpointer watch_file(gpointer data) {
    TavlinVcamProvider* self = data;
    const gchar* path = g_getenv("TAVLIN_VCAM_FILE");
    /* The file as start read it. */
    struct stat last = {0};
    if (path != NULL) {
        stat(path, &last);
    }
    while (!g_atomic_int_get(&self->stopping)) {
        struct stat now = {0};
        if (path != NULL) {
            stat(path, &now);
        }
        if (now.st_mtim.tv_sec != last.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != last.st_mtim.tv_nsec || now.st_size != last.st_size ||
            now.st_ino != last.st_ino) {
            last = now;
            sync_devices(self);
        }
        g_usleep(50 * 1000);
    }
    return NULL;
}

/* The cameras present are announced while starting, as the system's provider
 * does: a client that lists the devices after starting the monitor gets each
 * camera in that list and again as an announcement on its bus. */
static gboolean tavlin_vcam_provider_start(GstDeviceProvider* provider) {
    TavlinVcamProvider* self = TAVLIN_VCAM_PROVIDER(provider);
    g_atomic_int_set(&self->stopping, 0);
    sync_devices(self);
    self->watcher = g_thread_new("tavlinvcam-watch", watch_file, self);
    return TRUE;
}

static void tavlin_vcam_provider_stop(GstDeviceProvider* provider) {
    TavlinVcamProvider* self = TAVLIN_VCAM_PROVIDER(provider);
    g_atomic_int_set(&self->stopping, 1);
    if (self->watcher != NULL) {
        g_thread_join(self->watcher);
        self->watcher = NULL;
    }
    g_mutex_lock(&self->lock);
    g_hash_table_remove_all(self->announced);
    g_mutex_unlock(&self->lock);
}

static void tavlin_vcam_provider_finalize(GObject* object) {
    TavlinVcamProvider* self = TAVLIN_VCAM_PROVIDER(object);
    g_hash_table_unref(self->announced);
    g_mutex_clear(&self->lock);
    G_OBJECT_CLASS(tavlin_vcam_provider_parent_class)->finalize(object);
}

static void tavlin_vcam_provider_class_init(TavlinVcamProviderClass* klass) {
    GstDeviceProviderClass* provider_class = GST_DEVICE_PROVIDER_CLASS(klass);
    provider_class->probe = tavlin_vcam_provider_probe;
    provider_class->start = tavlin_vcam_provider_start;
    provider_class->stop = tavlin_vcam_provider_stop;
    G_OBJECT_CLASS(klass)->finalize = tavlin_vcam_provider_finalize;
    gst_device_provider_class_set_static_metadata(provider_class, "Tavlin virtual cameras",
                                                  "Source/Video", "Cameras for Tavlin's tests",
                                                  "Tavlin developers");
}

static void tavlin_vcam_provider_init(TavlinVcamProvider* self) {
    self->announced = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, gst_object_unref);
    g_mutex_init(&self->lock);
}

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_device_provider_register(plugin, "tavlinvcamprovider", GST_RANK_PRIMARY,
                                        TAVLIN_TYPE_VCAM_PROVIDER);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tavlinvcam,
                  "Virtual cameras for Tavlin's tests", plugin_init, "1.0", "Proprietary", PACKAGE,
                  "https://localhost/tavlin")
