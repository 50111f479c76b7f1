/*
 * Vistrel plug-in capture modules.
 *
 * A module is a shared library whose file name ends in ".pvt", placed in the folder of the
 * "Plugins Dir" setting. It serves a capture device that the program lists under the module's
 * driver name: a device of the video or audio input category whose friendly name equals the
 * driver name becomes a plug-in device and is driven through the pi_ exports below. Every export
 * is optional; a missing one is skipped (a missing name gives "", a missing count 0, a missing
 * filter none, a missing operation does nothing).
 *
 * The program's graph objects reach the module as opaque handles: vt_graph (the engine's filter
 * graph), vt_component (a filter slot of the program's component layer: bound to a device, a
 * class id or a filter instance, and put into or taken out of a graph) and vt_pin (a pin). The
 * vt_ functions, exported by the program, are all a module needs; it links nothing of ours.
 *
 * Ownership: components the module creates are the module's; it frees them with
 * vt_component_free once the program no longer uses them (after pi_destroy at the latest). A pin
 * handed back to the program through pi_setvideograph or pi_setaudiograph becomes the program's;
 * every other vt_pin the module obtains is the module's to free with vt_pin_free.
 *
 * Threads: every pi_ export and every vt_ function runs on the program's user-interface thread,
 * except the frame callback of vt_source_create, which runs on the source's streaming thread.
 *
 * Names: pi_drivername and pi_friendlyname write a zero-terminated UTF-8 text into the buffer;
 * the program keeps at most 255 characters of either.
 *
 * Result codes are the media framework's: 0 (S_OK) is success, 1 (S_FALSE) a partial success,
 * negative values failures.
 */
#ifndef VISTREL_PLUGIN_H
#define VISTREL_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VT_PLUGIN_NAME_BUFFER 65537
#define VT_PLUGIN_NAME_MAX 255

typedef struct vt_graph vt_graph;
typedef struct vt_component vt_component;
typedef struct vt_pin vt_pin;

/* The module's instance handle; 0 is none. */
typedef uint32_t vt_instance;

/* Pin directions of vt_component_find_pin. */
#define VT_PINDIR_INPUT 0
#define VT_PINDIR_OUTPUT 1

/* Identifiers, as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" texts. */
#define VT_MEDIATYPE_VIDEO "{73646976-0000-0010-8000-00AA00389B71}"
#define VT_MEDIATYPE_AUDIO "{73647561-0000-0010-8000-00AA00389B71}"
#define VT_MEDIATYPE_INTERLEAVED "{73766169-0000-0010-8000-00AA00389B71}"
#define VT_CLSID_INFTEE "{F8388A40-D5BB-11D0-BE5A-0080C706568E}"
#define VT_CLSID_COLOUR "{1643E180-90F5-11CE-97D5-00AA0055595A}"
#define VT_CATEGORY_VIDEO_INPUT "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
#define VT_CATEGORY_AUDIO_INPUT "{33D9A762-90C8-11D0-BD43-00A0C911CE86}"

/* ---- Exports of a module (all optional, C linkage) ---- */

void pi_drivername(char* buffer, int32_t size);
void pi_friendlyname(char* buffer, int32_t size);
/* Sets *instance; 0 means the device could not be created. */
void pi_create(vt_instance* instance);
void pi_destroy(vt_instance* instance);
/* The device's source filter, used by the program as the device's source component. */
void pi_sourcefilter(vt_instance* instance, vt_component** filter);
void pi_nbfluxvideo(vt_instance* instance, int32_t* count);
void pi_nbfluxaudio(vt_instance* instance, int32_t* count);
/* Puts the source into the graph; returns its component in *filter. */
void pi_setsourcegraph(vt_instance* instance, vt_component** filter, vt_graph* graph);
void pi_killsourcegraph(vt_instance* instance, vt_graph* graph);
/* Builds video branch `stream` (from 1). *pin (null on entry): the pin delivering decoded RGB
 * 24-bit video; *tee: the tee carrying the raw stream; *inverted: 1 when frames arrive bottom row
 * first; *format1, *format2: native capture format codes (0 = none, 1 "dv type 1 natif", ...). */
void pi_setvideograph(vt_instance* instance, int32_t stream, vt_pin** pin, vt_graph* graph, uint8_t* inverted,
                      vt_component** tee, uint8_t* format2, uint8_t* format1);
/* Builds audio branch `stream`. *pin (null on entry): the audio pin to render; *tee: the raw
 * audio tee. The result is handed back unchanged. */
int32_t pi_setaudiograph(vt_instance* instance, int32_t stream, vt_pin** pin, vt_graph* graph,
                         vt_component** tee);
/* Remove the branches. *spare is null on entry; a pin left there is freed by the program. */
void pi_killvideograph(vt_instance* instance, vt_pin** spare, vt_graph* graph);
void pi_killaudiograph(vt_instance* instance, vt_pin** spare, vt_graph* graph);
/* Records the native stream into `fileName` (zero-terminated UTF-16). */
void pi_buildmuxgraph(vt_instance* instance, vt_graph* graph, const uint16_t* fileName);
void pi_killmuxgraph(vt_instance* instance, vt_graph* graph);

/* ---- Functions of the program for modules ---- */

/* A new, unbound component; `name` may be null. */
vt_component* vt_component_create(const char* name);
/* Takes it out of its graph first. Null is ignored. */
void vt_component_free(vt_component* component);
/* Binds to a registered filter by class id text; 0 on success. */
int32_t vt_component_bind_clsid(vt_component* component, const char* clsid);
/* Binds to the first device of a category whose friendly name (UTF-8) is `name`. */
int32_t vt_component_bind_device(vt_component* component, const char* category, const char* name);
/* Puts the component into the graph (null: takes it out); 0 on success. */
int32_t vt_component_set_graph(vt_component* component, vt_graph* graph);
/* 1 when the component's filter is in a graph now. */
int32_t vt_component_in_graph(const vt_component* component);
/* The index-th pin of the direction whose type matches `majorType` (null: any) and, with
 * unconnectedOnly, that is not connected; null when none. Free it with vt_pin_free. */
vt_pin* vt_component_find_pin(vt_component* component, int32_t direction, const char* majorType,
                              int32_t unconnectedOnly, int32_t index);
void vt_pin_free(vt_pin* pin);
/* 1 when the pin is connected. */
int32_t vt_pin_connected(vt_pin* pin);
/* Direct connection of an output pin to an input pin, both in the graph; 0 on success. */
int32_t vt_graph_connect_direct(vt_graph* graph, vt_pin* out, vt_pin* in);
/* Connection through converters where needed (intelligent connect); 0 on success. */
int32_t vt_graph_connect(vt_graph* graph, vt_pin* out, vt_pin* in);

/* A live RGB 24-bit source of one capture output pin: `fill` is called for each frame on the
 * streaming thread with a bottom-up buffer of width * height * 3 bytes (rows of width * 3 bytes,
 * no padding) and the frame's number from 0; it must not block. Frames are paced at
 * `framesPerSecond` on the graph clock. The component is bound to the new filter. Null on bad
 * arguments (sizes 1..4096, rate 1..120, fill not null). */
typedef void (*vt_fill_frame)(void* user, uint8_t* rgb, int32_t width, int32_t height, int64_t frameNumber);
vt_component* vt_source_create(const char* name, int32_t width, int32_t height, int32_t framesPerSecond,
                               vt_fill_frame fill, void* user);

#ifdef __cplusplus
}
#endif

#endif /* VISTREL_PLUGIN_H */
