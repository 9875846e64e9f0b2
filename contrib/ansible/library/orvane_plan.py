#!/usr/bin/python3
# -*- coding: utf-8 -*-
"""Ansible module: bring a site's intercom and PA devices to a plan with orvane-cli apply."""

DOCUMENTATION = r'''
module: orvane_plan
short_description: Keep a site's intercom and public-address devices in a planned state
description:
  - Runs C(orvane-cli apply) on the host, which must sit on the devices' Ethernet segment.
  - Devices are found by raw layer-2 search, whatever their IP settings; only the values that
    differ from the plan are sent, so a second run changes nothing.
  - Supports check mode (nothing is sent) and diff mode (old and new values; passwords masked).
options:
  plan:
    description: The plan inline, a list of devices keyed by C(mac), with any of the columns that
      C(orvane-cli export) writes. Mutually exclusive with I(plan_file).
    type: list
    elements: dict
  plan_file:
    description: Path of a CSV or JSON plan on the managed host.
    type: path
  adapter:
    description: Network interface facing the devices (default, the one orvane remembers or chooses).
    type: str
  timeout:
    description: Search time in milliseconds.
    type: int
    default: 2000
  cli:
    description: The orvane-cli program.
    type: path
    default: orvane-cli
'''

EXAMPLES = r'''
- name: Lobby paging zone
  orvane_plan:
    adapter: eth1
    plan:
      - mac: "02:00:00:00:00:01"
        name: Lobby 1
        rtp1: 239.255.0.1:6000
'''

RETURN = r'''
devices:
  description: One entry per planned device; outcome is changed, unchanged, failed or missing.
  type: list
  returned: always
'''

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule

# The JSON shape orvane-cli prints; a newer one may carry fields this module does not know.
FORMAT_VERSION = 1


def run_module():
    module = AnsibleModule(
        argument_spec=dict(
            plan=dict(type='list', elements='dict'),
            plan_file=dict(type='path'),
            adapter=dict(type='str'),
            timeout=dict(type='int', default=2000),
            cli=dict(type='path', default='orvane-cli'),
        ),
        mutually_exclusive=[('plan', 'plan_file')],
        required_one_of=[('plan', 'plan_file')],
        supports_check_mode=True,
    )
    p = module.params
    path = p['plan_file']
    cleanup = None
    if p['plan'] is not None:
        handle, path = tempfile.mkstemp(prefix='orvane-plan-', suffix='.json')
        with os.fdopen(handle, 'w') as f:
            json.dump({'version': FORMAT_VERSION, 'devices': p['plan']}, f)
        cleanup = path
    cmd = [p['cli'], 'apply', path, '--format', 'json', '--timeout', str(p['timeout'])]
    if p['adapter']:
        cmd += ['--adapter', p['adapter']]
    if module.check_mode:
        cmd.append('--check')
    try:
        rc, out, err = module.run_command(cmd)
    finally:
        if cleanup:
            os.unlink(cleanup)
    if rc == 2:
        module.fail_json(msg='the plan was refused; nothing was sent', rc=rc, stderr=err)
    try:
        report = json.loads(out)
    except ValueError:
        module.fail_json(msg='orvane-cli printed no report', rc=rc, stdout=out, stderr=err)
    if report.get('version') != FORMAT_VERSION:
        module.fail_json(msg='orvane-cli reports version %s, this module reads %d'
                         % (report.get('version'), FORMAT_VERSION))
    devices = report.get('devices', [])
    changed = any(d.get('outcome') == 'changed' for d in devices)
    result = dict(changed=changed, devices=devices)
    if module._diff:
        before, after = [], []
        for d in devices:
            for c in d.get('changes', []):
                before.append('%s %s: %s' % (d['mac'], c['field'], c['from']))
                after.append('%s %s: %s' % (d['mac'], c['field'], c['to']))
        result['diff'] = dict(before='\n'.join(before) + '\n', after='\n'.join(after) + '\n')
    if rc != 0:
        bad = ['%s %s (%s)' % (d['mac'], d['outcome'], d.get('detail', ''))
               for d in devices if d.get('outcome') in ('failed', 'missing')]
        module.fail_json(msg='; '.join(bad) or err.strip(), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    run_module()
