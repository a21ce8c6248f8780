// The About view: what this copy of tvn is and where it keeps things.

import { el } from "./dom";
import { format } from "./texts";

declare const __APP_VERSION__: string;

/** `prefix`: the row's value, which the page keeps naming the prefix in use; `showLogs` opens the
 *  logs view. */
export function createAboutView(sys: Tvn.SysModule, home: string, prefix: HTMLElement, showLogs: () => void): HTMLElement {
    const version = sys.osVersion();
    const device = el("dd", {}, "…");
    sys.getDeviceIdAsync().then((answer) => {
        device.textContent = answer.deviceId;
    });
    const row = (label: string, value: Node | string) => [el("dt", {}, label), value instanceof Node ? value : el("dd", {}, value)];
    const appData = sys.getAppDataPath();
    return el("section", { class: "about" },
        el("dl", {},
            ...row(format("aboutVersion"), __APP_VERSION__),
            ...row(format("aboutChannel"), sys.channel),
            ...row(format("aboutDevice"), device),
            ...row(format("aboutSystem"), format("osVersion", { distribution: version.distribution, kernel: version.kernel })),
            ...row(format("aboutArch"), format("bits", { bits: sys.arch() })),
            ...row(format("aboutProgram"), sys.getAppPath()),
            ...row(format("aboutData"), appData),
            ...row(format("aboutPrefix"), prefix),
            ...row(format("aboutTemp"), sys.getTempPath())),
        el("p", { class: "about-actions" },
            home ? el("button", { class: "link", onclick: () => sys.openUrl({ url: home }) }, format("aboutHome")) : null,
            el("button", { title: format("aboutLogsHint"), onclick: showLogs }, format("aboutLogs"))));
}
