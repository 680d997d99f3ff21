/*
 * The simulated board's mixer: an ALSA external control plugin (ctl_ext) with the board's
 * controls, so that the simple mixer shows the elements "SPK" (speaker volume and switch) and
 * "MIC1 Boost" (microphone boost).
 *
 * The program opens and closes the mixer for every change, so the values live in a small text
 * file (one "name=v0,v1" line per control) that every read and write goes to.
 *
 * Configuration (all optional):
 *   state_file PATH            where the values are kept; none: they last one open
 *   spk_volume_name STR        default "SPK Playback Volume"
 *   spk_min N, spk_max N       default 0..127, two channels
 *   spk_switch_name STR        default "SPK Playback Switch"; "" leaves the switch out
 *   boost_name STR             default "MIC1 Boost Volume"
 *   boost_min N, boost_max N   default 0..3
 *   boost_channels N           default 1
 * Numbers may also be given as strings, so that they can come from environment variables.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#define MAX_CONTROLS 3
#define MAX_CHANNELS 2

typedef struct {
    char name[64];
    int type; /* SND_CTL_ELEM_TYPE_INTEGER or _BOOLEAN */
    unsigned int count;
    long min, max;
    long value[MAX_CHANNELS];
} control_t;

typedef struct {
    snd_ctl_ext_t ext;
    char state_file[4096];
    int ncontrols;
    control_t controls[MAX_CONTROLS];
} q7sim_ctl_t;

static void parse_state(q7sim_ctl_t *c, char *text)
{
    char *save = NULL;
    for (char *line = strtok_r(text, "\n", &save); line != NULL;
         line = strtok_r(NULL, "\n", &save)) {
        char *eq = strrchr(line, '=');
        if (eq == NULL)
            continue;
        *eq = '\0';
        for (int i = 0; i < c->ncontrols; i++) {
            control_t *ct = &c->controls[i];
            if (strcmp(ct->name, line) != 0)
                continue;
            long v[MAX_CHANNELS] = {ct->value[0], ct->value[1]};
            int n = sscanf(eq + 1, "%ld,%ld", &v[0], &v[1]);
            for (int ch = 0; ch < n && ch < (int)ct->count; ch++) {
                if (v[ch] >= ct->min && v[ch] <= ct->max)
                    ct->value[ch] = v[ch];
            }
        }
    }
}

/* Brings the values up to date with the state file, and with `key` >= 0 stores `value` into that
 * control and writes the file back. Several mixer handles (threads, processes) may be open at
 * once, as on a real card: the file is locked for each exchange, and only the changed control
 * is taken from this handle. */
static int sync_state(q7sim_ctl_t *c, long key, const long *value)
{
    if (c->state_file[0] == '\0') {
        if (key >= 0)
            memcpy(c->controls[key].value, value, sizeof(long) * c->controls[key].count);
        return 0;
    }
    int fd = open(c->state_file, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    flock(fd, key >= 0 ? LOCK_EX : LOCK_SH);
    char text[4096];
    ssize_t n = pread(fd, text, sizeof(text) - 1, 0);
    text[n > 0 ? n : 0] = '\0';
    parse_state(c, text);
    int err = 0;
    if (key >= 0) {
        memcpy(c->controls[key].value, value, sizeof(long) * c->controls[key].count);
        size_t len = 0;
        for (int i = 0; i < c->ncontrols; i++) {
            const control_t *ct = &c->controls[i];
            len +=
                (size_t)snprintf(text + len, sizeof(text) - len, "%s=%ld", ct->name, ct->value[0]);
            for (unsigned int ch = 1; ch < ct->count; ch++)
                len += (size_t)snprintf(text + len, sizeof(text) - len, ",%ld", ct->value[ch]);
            len += (size_t)snprintf(text + len, sizeof(text) - len, "\n");
        }
        if (ftruncate(fd, 0) < 0 || pwrite(fd, text, len, 0) != (ssize_t)len)
            err = -EIO;
    }
    close(fd); /* and with it the lock */
    return err;
}

static void q7sim_ctl_close(snd_ctl_ext_t *ext)
{
    free(ext->private_data);
}

static int q7sim_elem_count(snd_ctl_ext_t *ext)
{
    q7sim_ctl_t *c = ext->private_data;
    return c->ncontrols;
}

static int q7sim_elem_list(snd_ctl_ext_t *ext, unsigned int offset, snd_ctl_elem_id_t *id)
{
    q7sim_ctl_t *c = ext->private_data;
    if (offset >= (unsigned int)c->ncontrols)
        return -EINVAL;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, c->controls[offset].name);
    return 0;
}

static snd_ctl_ext_key_t q7sim_find_elem(snd_ctl_ext_t *ext, const snd_ctl_elem_id_t *id)
{
    q7sim_ctl_t *c = ext->private_data;
    const char *name = snd_ctl_elem_id_get_name(id);
    unsigned int numid = snd_ctl_elem_id_get_numid(id);
    for (int i = 0; i < c->ncontrols; i++) {
        if ((numid != 0 && numid == (unsigned int)i + 1) ||
            (name != NULL && strcmp(name, c->controls[i].name) == 0))
            return (snd_ctl_ext_key_t)i;
    }
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int q7sim_get_attribute(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, int *type,
                               unsigned int *acc, unsigned int *count)
{
    q7sim_ctl_t *c = ext->private_data;
    if (key >= (snd_ctl_ext_key_t)c->ncontrols)
        return -EINVAL;
    *type = c->controls[key].type;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = c->controls[key].count;
    return 0;
}

static int q7sim_get_integer_info(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *imin, long *imax,
                                  long *istep)
{
    q7sim_ctl_t *c = ext->private_data;
    if (key >= (snd_ctl_ext_key_t)c->ncontrols)
        return -EINVAL;
    *imin = c->controls[key].min;
    *imax = c->controls[key].max;
    *istep = 1;
    return 0;
}

static int q7sim_read_integer(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *value)
{
    q7sim_ctl_t *c = ext->private_data;
    if (key >= (snd_ctl_ext_key_t)c->ncontrols)
        return -EINVAL;
    int err = sync_state(c, -1, NULL);
    if (err < 0)
        return err;
    const control_t *ct = &c->controls[key];
    for (unsigned int ch = 0; ch < ct->count; ch++)
        value[ch] = ct->value[ch];
    return 0;
}

static int q7sim_write_integer(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *value)
{
    q7sim_ctl_t *c = ext->private_data;
    if (key >= (snd_ctl_ext_key_t)c->ncontrols)
        return -EINVAL;
    control_t *ct = &c->controls[key];
    for (unsigned int ch = 0; ch < ct->count; ch++) {
        if (value[ch] < ct->min || value[ch] > ct->max)
            return -EINVAL;
    }
    long before[MAX_CHANNELS];
    memcpy(before, ct->value, sizeof(before));
    int err = sync_state(c, (long)key, value);
    if (err < 0)
        return err;
    return memcmp(before, ct->value, sizeof(long) * ct->count) != 0;
}

static int q7sim_read_event(snd_ctl_ext_t *ext, snd_ctl_elem_id_t *id, unsigned int *event_mask)
{
    (void)ext;
    (void)id;
    (void)event_mask;
    return -EAGAIN;
}

static const snd_ctl_ext_callback_t q7sim_ctl_callback = {
    .close = q7sim_ctl_close,
    .elem_count = q7sim_elem_count,
    .elem_list = q7sim_elem_list,
    .find_elem = q7sim_find_elem,
    .get_attribute = q7sim_get_attribute,
    .get_integer_info = q7sim_get_integer_info,
    .read_integer = q7sim_read_integer,
    .write_integer = q7sim_write_integer,
    .read_event = q7sim_read_event,
};

static int get_long(snd_config_t *n, long *out)
{
    const char *str;
    if (snd_config_get_integer(n, out) == 0)
        return 0;
    if (snd_config_get_string(n, &str) == 0) {
        char *end;
        if (*str == '\0')
            return 0; /* empty: keep the default */
        long v = strtol(str, &end, 10);
        if (*end != '\0')
            return -EINVAL;
        *out = v;
        return 0;
    }
    return -EINVAL;
}

static void add_control(q7sim_ctl_t *c, const char *name, int type, long count, long min, long max)
{
    if (name == NULL || *name == '\0')
        return;
    control_t *ct = &c->controls[c->ncontrols++];
    snprintf(ct->name, sizeof(ct->name), "%s", name);
    ct->type = type;
    ct->count = (unsigned int)count;
    ct->min = min;
    ct->max = max;
    for (int ch = 0; ch < MAX_CHANNELS; ch++)
        ct->value[ch] = type == SND_CTL_ELEM_TYPE_BOOLEAN ? 1 : min;
}

SND_CTL_PLUGIN_DEFINE_FUNC(q7sim)
{
    const char *state_file = NULL;
    const char *spk_volume_name = "SPK Playback Volume";
    const char *spk_switch_name = "SPK Playback Switch";
    const char *boost_name = "MIC1 Boost Volume";
    long spk_min = 0, spk_max = 127, boost_min = 0, boost_max = 3, boost_channels = 1;
    snd_config_iterator_t i, next;
    int err;
    (void)root;

    snd_config_for_each(i, next, conf)
    {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (strcmp(id, "comment") == 0 || strcmp(id, "type") == 0 || strcmp(id, "hint") == 0)
            continue;
        if (strcmp(id, "state_file") == 0)
            err = snd_config_get_string(n, &state_file);
        else if (strcmp(id, "spk_volume_name") == 0)
            err = snd_config_get_string(n, &spk_volume_name);
        else if (strcmp(id, "spk_switch_name") == 0)
            err = snd_config_get_string(n, &spk_switch_name);
        else if (strcmp(id, "boost_name") == 0)
            err = snd_config_get_string(n, &boost_name);
        else if (strcmp(id, "spk_min") == 0)
            err = get_long(n, &spk_min);
        else if (strcmp(id, "spk_max") == 0)
            err = get_long(n, &spk_max);
        else if (strcmp(id, "boost_min") == 0)
            err = get_long(n, &boost_min);
        else if (strcmp(id, "boost_max") == 0)
            err = get_long(n, &boost_max);
        else if (strcmp(id, "boost_channels") == 0)
            err = get_long(n, &boost_channels);
        else {
            SNDERR("Unknown field %s", id);
            return -EINVAL;
        }
        if (err < 0) {
            SNDERR("Invalid value for %s", id);
            return -EINVAL;
        }
    }
    if (spk_min > spk_max || boost_min > boost_max || boost_channels < 1 ||
        boost_channels > MAX_CHANNELS) {
        SNDERR("Invalid control range");
        return -EINVAL;
    }

    q7sim_ctl_t *c = calloc(1, sizeof(*c));
    if (c == NULL)
        return -ENOMEM;
    if (state_file != NULL)
        snprintf(c->state_file, sizeof(c->state_file), "%s", state_file);
    add_control(c, spk_volume_name, SND_CTL_ELEM_TYPE_INTEGER, 2, spk_min, spk_max);
    add_control(c, spk_switch_name, SND_CTL_ELEM_TYPE_BOOLEAN, 2, 0, 1);
    add_control(c, boost_name, SND_CTL_ELEM_TYPE_INTEGER, boost_channels, boost_min, boost_max);
    sync_state(c, -1, NULL);

    c->ext.version = SND_CTL_EXT_VERSION;
    c->ext.card_idx = 0;
    snprintf(c->ext.id, sizeof(c->ext.id), "Q7SIM");
    snprintf(c->ext.driver, sizeof(c->ext.driver), "q7sim");
    snprintf(c->ext.name, sizeof(c->ext.name), "Q7 simulated card");
    snprintf(c->ext.longname, sizeof(c->ext.longname), "Q7 simulated sound card");
    snprintf(c->ext.mixername, sizeof(c->ext.mixername), "Q7 simulated mixer");
    c->ext.poll_fd = -1;
    c->ext.callback = &q7sim_ctl_callback;
    c->ext.private_data = c;

    err = snd_ctl_ext_create(&c->ext, name, mode);
    if (err < 0) {
        free(c);
        return err;
    }
    *handlep = c->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(q7sim);
